#include "precompiler/frontend/OfflineNetworkAccess.h"

#include <QNetworkRequest>
#include <QUrl>

OfflineNetworkAccess::OfflineNetworkAccess() = default;

OfflineNetworkAccess::~OfflineNetworkAccess() = default;

QNetworkReply* OfflineNetworkAccess::createRequest(Operation operation, const QNetworkRequest&,
                                                   QIODevice* outgoingData) {
    // A request without a URL ends at once in an error reply; nothing is opened or sent.
    return QNetworkAccessManager::createRequest(operation, QNetworkRequest(QUrl()), outgoingData);
}
