#include "precompiler/frontend/MessageHandler.h"

#include <QRegularExpression>

namespace {

// The engine formats its messages as XHTML; the user reads them in a terminal.
QString plainText(const QString& markup) {
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString text = markup;
    text.remove(tag);
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text.trimmed();
}

}  // namespace

MessageHandler::MessageHandler() = default;

MessageHandler::~MessageHandler() = default;

void MessageHandler::handleMessage(QtMsgType type, const QString& description, const QUrl&,
                                   const QSourceLocation& sourceLocation) {
    m_messageType = type;
    m_description = plainText(description);
    m_sourceLocation = sourceLocation;
}
