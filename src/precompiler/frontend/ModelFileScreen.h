#ifndef TESSGEN_FRONTEND_MODELFILESCREEN_H
#define TESSGEN_FRONTEND_MODELFILESCREEN_H

#include <QIODevice>
#include <QString>

// What the DOM parser must not be given: elements nested deeper than a model file needs (its
// recursive parts would exhaust the stack) and DTDs (entity expansion). Reads the device from
// its current position. An empty text when the file is fit, else the reason, with its line and
// column. Plain syntax errors are left to the DOM parser's own message.
QString screenModelFile(QIODevice& file, qint64* line, qint64* column);

#endif
