#include "precompiler/frontend/Modules.h"

#include "precompiler/frontend/AnyType.h"
#include "precompiler/frontend/ModelFileScreen.h"
#include "precompiler/frontend/ModelSchema.h"
#include "precompiler/frontend/Reader.h"
#include "precompiler/frontend/readXMLfile.h"

#include "ZetException.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

using namespace EditorInternalTypes;

namespace {

const QString WALK_PREFIX = QStringLiteral("Ошибка: Modules::FillVectorNameSpaces_FileModules. ");

[[noreturn]] void fail(const QString& text) {
    throw NLX::ZetException(text.toStdString());
}

// Opens a model file read-only; only regular files of a sane size, since a FIFO or a device
// would block or never end.
bool openModelFile(QFile& file) {
    return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly) &&
           file.size() <= readXMLfile::MAX_FILE_SIZE;
}

// Parses an opened model file after screening it; false with the parser's (or the screen's)
// reason and position when it is no usable XML.
bool parseModelFile(QFile& file, QDomDocument& document, QString* error, qint64* line,
                    qint64* column) {
    const QString unfit = screenModelFile(file, line, column);
    if (!unfit.isEmpty()) {
        *error = unfit;
        return false;
    }
    int errorLine = 0;
    int errorColumn = 0;
    if (!file.seek(0) || !document.setContent(&file, error, &errorLine, &errorColumn)) {
        *line = errorLine;
        *column = errorColumn;
        return false;
    }
    return true;
}

QDomElement firstChildNamed(const QDomElement& parent, const QString& tag) {
    QDomElement found;
    for (QDomNode node = parent.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isElement() && node.toElement().tagName() == tag) {
            return node.toElement();
        }
    }
    return found;
}

// Text of the last child of that name (the later one counts), empty when there is none.
QString lastChildText(const QDomElement& parent, const QString& tag) {
    QString text;
    for (QDomNode node = parent.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isElement() && node.toElement().tagName() == tag) {
            text = node.toElement().text();
        }
    }
    return text;
}

// Qualifies names with one module's namespace prefix.
class Qualifier {
public:
    explicit Qualifier(const QString& nameSpace) : m_prefix(nameSpace + QStringLiteral("::")) {}

    // A type's own name: always.
    void name(QString& text) const { text = m_prefix + text; }
    // A reference to a type: not a basic type name and not already qualified.
    void reference(QString& text) const {
        if (!AnyType::m_TypeRep.isBasicTypeDDS(text.toStdString()) && !qualified(text)) {
            name(text);
        }
    }
    // A topic's structure: anything not already qualified.
    void structure(QString& text) const {
        if (!qualified(text)) {
            name(text);
        }
    }

private:
    static bool qualified(const QString& text) { return text.contains(QStringLiteral("::")); }

    QString m_prefix;
};

template <typename List>
void append(List& to, const List& from) {
    for (const auto& record : from) {
        to.append(record);
    }
}

}  // namespace

Modules::Modules(Reader* reader, NLX::Logger* logger) : m_logger(logger), m_reader(reader) {}

QString Modules::pathOf(const QString& fileName) const {
    if (QFileInfo(fileName).isRelative()) {
        return m_reader->getModelDirectory() + QLatin1Char('/') + QFileInfo(fileName).fileName();
    }
    return fileName;
}

QString Modules::ReadNameSpaceFromModule(QString fileName) {
    QFile file(pathOf(fileName));
    if (!openModelFile(file)) {
        fail(WALK_PREFIX + QStringLiteral("Файл '") + fileName +
             QStringLiteral("' не может быть открыт для чтения!"));
    }
    QDomDocument document;
    QString error;
    qint64 line = 0;
    qint64 column = 0;
    if (!parseModelFile(file, document, &error, &line, &column)) {
        return QString();
    }
    const QDomElement found =
        firstChildNamed(document.documentElement(), QStringLiteral("namespace"));
    return found.isNull() ? QString() : found.text();
}

void Modules::setRootPair(const NameSpaceFile& root) {
    m_rootPair = root;
    m_namespaceFiles.clear();
    m_dependencyOrder.clear();
    m_namespaceFiles.append(root);
}

int Modules::FillVectorNameSpaces_FileModules(QString fileName) {
    return walk(fileName, 0);
}

int Modules::walk(const QString& fileName, int depth) {
    if (depth > MAX_INCLUDE_DEPTH) {
        fail(WALK_PREFIX +
             QStringLiteral("Модули вложены глубже %1 уровней, файл '").arg(MAX_INCLUDE_DEPTH) +
             fileName + QStringLiteral("'."));
    }

    ModelSchema schema;
    switch (schema.load()) {
        case ModelSchema::Load::Loaded:
            break;
        case ModelSchema::Load::NoDirectory:
            fail(WALK_PREFIX + QStringLiteral("Путь к файлу схемы: ") + schema.executablePath() +
                 QStringLiteral(" не найден"));
        case ModelSchema::Load::Unreadable:
            // The message has always named this path, whichever was tried.
            fail(WALK_PREFIX + QStringLiteral("Файл схемы './xml/VEXA_DataTypes.xsd'' не может "
                                              "быть открыт для чтения!"));
        case ModelSchema::Load::Invalid:
            fail(WALK_PREFIX + QStringLiteral("Файл схемы '") + schema.path() +
                 QStringLiteral("' не прошел валидацию в строке ") +
                 QString::number(schema.line()) + QStringLiteral(" колонке ") +
                 QString::number(schema.column()) + QStringLiteral(": ") + schema.description());
    }

    QDomDocument document;
    {
        // The QFile object is closed and destroyed when this block ends, also by an exception;
        // the file on disk is never touched.
        QFile file(pathOf(fileName));
        if (!openModelFile(file)) {
            return 3;
        }
        QString error;
        qint64 line = 0;
        qint64 column = 0;
        if (!parseModelFile(file, document, &error, &line, &column)) {
            fail(WALK_PREFIX + QStringLiteral("Файл '") + fileName +
                 QStringLiteral("' содержит ошибочный XML формат: в строке ") +
                 QString::number(line) + QStringLiteral(" колонке ") + QString::number(column) +
                 QStringLiteral(": ") + error);
        }
        if (!schema.validate(file)) {
            fail(WALK_PREFIX + QStringLiteral("Файл '") + fileName +
                 QStringLiteral("' не прошел валидацию в строке ") +
                 QString::number(schema.line()) + QStringLiteral(" колонке ") +
                 QString::number(schema.column()) + QStringLiteral(": ") + schema.description());
        }
    }

    QVector<QDomElement> includes;
    const QDomElement root = document.documentElement();
    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isElement() && node.toElement().tagName() == QLatin1String("includedModule")) {
            includes.append(node.toElement());
        }
    }

    for (const QDomElement& include : includes) {
        const QString nameSpace = lastChildText(include, QStringLiteral("includeNamespace"));
        const QString file =
            QFileInfo(lastChildText(include, QStringLiteral("includeFile"))).fileName();

        const QString& rootNameSpace =
            m_namespaceFiles.isEmpty() ? m_rootPair.first : m_namespaceFiles.first().first;
        if (nameSpace == rootNameSpace) {
            fail(WALK_PREFIX + QStringLiteral("Вложенный модуль '") + fileName +
                 QStringLiteral("' содержат ссылку на корневой модуль '") + file +
                 QStringLiteral("', что недопустимо."));
        }
        bool known = false;
        for (int i = 1; i < m_namespaceFiles.size(); ++i) {
            if (m_namespaceFiles[i].first != nameSpace) {
                continue;
            }
            if (m_namespaceFiles[i].second != file) {
                fail(WALK_PREFIX + QStringLiteral("Файл '") + file +
                     QStringLiteral("' содержит название пространства имен '") + nameSpace +
                     QStringLiteral("' уже использованное в другом, ранее загруженном модуле."));
            }
            known = true;
            break;
        }
        if (known) {
            continue;
        }
        m_namespaceFiles.append(NameSpaceFile(nameSpace, file));
        const int entry = m_namespaceFiles.size() - 1;
        if (walk(file, depth + 1) == 3) {
            fail(WALK_PREFIX + QStringLiteral("Файл модуля: '") + file +
                 QStringLiteral("' не может быть открыт для чтения!"));
        }
        // After the modules it includes: their types are defined before its own use them.
        m_dependencyOrder.append(entry);
    }
    return 0;
}

bool Modules::ReadAllModulesFromFiles() {
    for (const int i : qAsConst(m_dependencyOrder)) {
        const QString& file = m_namespaceFiles[i].second;
        VEXA_Types model;
        readXMLfile reader(&model, m_reader, m_logger);
        reader.ReadXmlDataFile(file);
        if (!reader.isRead()) {
            fail(QStringLiteral("Ошибка: Modules::ReadAllModulesFromFiles. При разборе файла "
                                "модуля '") +
                 file + QStringLiteral("' возникла ошибка не позволившая загрузить информацию."));
        }
        reader.traverseNode();
        m_moduleModels.append(model);
    }
    return true;
}

void Modules::SetNameSpaces() {
    for (VEXA_Types& model : m_moduleModels) {
        const Qualifier q(model.m_namespace);
        for (Enumeration& type : model.m_enumerations) {
            q.name(type.m_name);
        }
        for (MapData& type : model.m_maps) {
            q.name(type.m_name);
            q.reference(type.m_typeElement);
            q.reference(type.m_typeMapKey);
        }
        for (Sequence& type : model.m_sequences) {
            q.name(type.m_name);
            q.reference(type.m_seqType);
        }
        for (Array& type : model.m_arrays) {
            q.name(type.m_name);
            q.reference(type.m_type);
        }
        for (String& type : model.m_strings) {
            q.name(type.m_name);
        }
        for (BitSet& type : model.m_bitSets) {
            q.name(type.m_name);
        }
        for (Alias& type : model.m_aliases) {
            q.name(type.m_name);
            q.reference(type.m_type);
        }
        for (Union& type : model.m_unions) {
            q.name(type.m_nameUnion);
            q.reference(type.m_typeDiscriminant);
            for (UnionCase& entry : type.m_cases) {
                q.reference(entry.second.m_type);
            }
        }
        for (StructureQ& type : model.m_structures) {
            q.name(type.m_name);
            for (QMemberAgregate& member : type.m_members) {
                q.reference(member.m_type);
            }
        }
        for (TopicType& topic : model.m_topicTypes) {
            q.structure(topic.m_structName);
        }
    }
}

void Modules::CopyModulesDataTypesInMainList(VEXA_Types* allModules) {
    for (const VEXA_Types& model : qAsConst(m_moduleModels)) {
        append(allModules->m_aliases, model.m_aliases);
        append(allModules->m_arrays, model.m_arrays);
        append(allModules->m_bitSets, model.m_bitSets);
        append(allModules->m_enumerations, model.m_enumerations);
        append(allModules->m_maps, model.m_maps);
        append(allModules->m_sequences, model.m_sequences);
        append(allModules->m_strings, model.m_strings);
        append(allModules->m_topicTypes, model.m_topicTypes);
        append(allModules->m_unions, model.m_unions);
        append(allModules->m_structures, model.m_structures);
    }
}
