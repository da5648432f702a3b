// The news fetcher's plugin (libqnt_news_fetcher.so): Qt Network behind QXNewsFetcher.
#include "app/panels/QXNewsFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

namespace {

class NetworkNewsFetcher final : public QXNewsFetcher
{
public:
    void get(const QUrl &url, int timeoutMs, qint64 maximumBytes, bool keepSecureRedirects,
             QObject *context, Completion done) override
    {
        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        if (keepSecureRedirects)
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkReply *reply = m_network.get(request);
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [reply, maximumBytes](qint64 received, qint64) {
                             if (received > maximumBytes)
                                 reply->abort();
                         });
        QPointer<QObject> receiver(context);
        QObject::connect(reply, &QNetworkReply::finished, reply,
                         [reply, receiver, maximumBytes, done = std::move(done)] {
                             reply->deleteLater();
                             if (!receiver)
                                 return;
                             if (reply->error() != QNetworkReply::NoError) {
                                 done({}, reply->errorString());
                                 return;
                             }
                             if (reply->bytesAvailable() > maximumBytes) {
                                 done({}, QStringLiteral("The reply is too big."));
                                 return;
                             }
                             done(reply->readAll(), QString());
                         });
    }

private:
    QNetworkAccessManager m_network;
};

} // namespace

extern "C" Q_DECL_EXPORT QXNewsFetcher *qntCreateNewsFetcher()
{
    return new NetworkNewsFetcher;
}
