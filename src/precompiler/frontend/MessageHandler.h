#ifndef TESSGEN_FRONTEND_MESSAGEHANDLER_H
#define TESSGEN_FRONTEND_MESSAGEHANDLER_H

#include <QAbstractMessageHandler>
#include <QSourceLocation>
#include <QString>

// Keeps the last message of the schema engine, so that a failed schema load or validation can
// be reported with its text and position.
class MessageHandler : public QAbstractMessageHandler {
public:
    MessageHandler();
    ~MessageHandler() override;

    QtMsgType messageType() const { return m_messageType; }
    // The engine's text as plain text (its markup removed).
    const QString& description() const { return m_description; }
    // Line and column are -1 when no message or no position was reported.
    qint64 line() const { return m_sourceLocation.line(); }
    qint64 column() const { return m_sourceLocation.column(); }

protected:
    void handleMessage(QtMsgType type, const QString& description, const QUrl& identifier,
                       const QSourceLocation& sourceLocation) override;

private:
    QtMsgType m_messageType = QtDebugMsg;
    QString m_description;
    QSourceLocation m_sourceLocation;
};

#endif
