#ifndef TESSGEN_FRONTEND_MODELFILESCREEN_H
#define TESSGEN_FRONTEND_MODELFILESCREEN_H

#include <QIODevice>
#include <QString>

// What the DOM parser must not be given: elements nested deeper than a model file needs (its
// recursive parts would exhaust the stack), DTDs (entity expansion) and anything that is no
// well-formed XML, since the screen cannot see past its first error. Reads the device from its
// current position. An empty text when the file is fit, else the reason, with its line and
// column.
QString screenModelFile(QIODevice& file, qint64* line, qint64* column);

#endif
