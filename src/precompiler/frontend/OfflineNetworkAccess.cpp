#include "precompiler/frontend/OfflineNetworkAccess.h"

#include <QNetworkRequest>
#include <QUrl>

OfflineNetworkAccess::OfflineNetworkAccess() = default;

OfflineNetworkAccess::~OfflineNetworkAccess() = default;

QNetworkReply* OfflineNetworkAccess::createRequest(Operation operation, const QNetworkRequest&,
                                                   QIODevice* outgoingData) {
    // Answered as "not found" from the program's own (empty) resources: nothing is opened or
    // sent, and the schema engine ignores a hint it cannot load.
    static const QUrl nowhere(QStringLiteral("qrc:/tessgen/not-loaded"));
    return QNetworkAccessManager::createRequest(operation, QNetworkRequest(nowhere), outgoingData);
}
