#include "precompiler/frontend/ModelFileScreen.h"

#include "precompiler/frontend/readXMLfile.h"

#include <QXmlStreamReader>

QString screenModelFile(QIODevice& file, qint64* line, qint64* column) {
    QXmlStreamReader xml(&file);
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > readXMLfile::MAX_ELEMENT_DEPTH) {
                *line = xml.lineNumber();
                *column = xml.columnNumber();
                return QStringLiteral("элементы вложены глубже %1 уровней")
                    .arg(readXMLfile::MAX_ELEMENT_DEPTH);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::DTD) {
            *line = xml.lineNumber();
            *column = xml.columnNumber();
            return QStringLiteral("объявление DTD не допускается");
        }
    }
    // The screen stops at its first error, and the DOM parser accepts some of what it refuses
    // (an undeclared entity, for one): nothing after that point has been screened.
    if (xml.hasError()) {
        *line = xml.lineNumber();
        *column = xml.columnNumber();
        return xml.errorString();
    }
    return QString();
}
