#ifndef TESSGEN_TESTS_MODELFILES_H
#define TESSGEN_TESTS_MODELFILES_H

// Model files for the module loader and reader tests, written into a temporary directory.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// The schema engine wants an application object, as in the program.
inline void ensureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "test_precompiler";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
}

class ModelFiles {
public:
    using Include = std::pair<const char*, const char*>;  // namespace, file

    ModelFiles() { EXPECT_TRUE(m_temp.isValid()); }

    QString dir() const { return m_temp.path(); }

    QString write(const QString& relativePath, const QByteArray& content) const {
        const QString path = dir() + "/" + relativePath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        EXPECT_EQ(content.size(), file.write(content));
        return path;
    }

    // A module file with its namespace, its includes and further content.
    QString module(const QString& relativePath, const char* nameSpace,
                   const std::vector<Include>& includes, const QByteArray& body = "") const {
        QByteArray xml = "<?xml version='1.0' encoding='UTF-8'?>\n<module>\n";
        for (const Include& include : includes) {
            xml += QByteArray("  <includedModule><includeNamespace>") + include.first +
                   "</includeNamespace><includeFile>" + include.second +
                   "</includeFile></includedModule>\n";
        }
        xml += QByteArray("  <namespace>") + nameSpace + "</namespace>\n" + body + "</module>\n";
        return write(relativePath, xml);
    }

private:
    QTemporaryDir m_temp;
};

#endif
