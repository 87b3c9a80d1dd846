#ifndef TESSGEN_FRONTEND_OFFLINENETWORKACCESS_H
#define TESSGEN_FRONTEND_OFFLINENETWORKACCESS_H

#include <QNetworkAccessManager>

// A network access manager that fetches nothing. The schema engine follows schema location
// hints of the documents it validates (URLs and local files alike); a model file must not make
// the precompiler load anything but the file itself and the installed schema. Every request
// ends as "not found", which the engine takes as a hint to ignore.
class OfflineNetworkAccess : public QNetworkAccessManager {
public:
    OfflineNetworkAccess();
    ~OfflineNetworkAccess() override;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice* outgoingData) override;
};

#endif
