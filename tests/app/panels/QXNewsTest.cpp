#include "app/panels/QXNews.h"

#include "app/panels/QXNewsDelegate.h"
#include "platform/UserDefaults.h"

#include "common/WaitUntil.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

#include <gtest/gtest.h>

using qnt::test::waitUntil;

namespace {

UserDefaults &store()
{
    return UserDefaults::standardUserDefaults();
}

// A news server on 127.0.0.1: answers every GET with the body it is given (or not at all).
class NewsServer : public QTcpServer
{
public:
    NewsServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_buffer[socket] += socket->readAll();
                    if (!m_buffer[socket].contains("\r\n\r\n"))
                        return;
                    const QByteArray head = m_buffer[socket];
                    requests << QString::fromLatin1(head.left(head.indexOf(' ', 4)).mid(4));
                    if (silent)
                        return; // a server that never answers
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: "
                                  + QByteArray::number(body.size())
                                  + "\r\nConnection: close\r\n\r\n");
                    socket->write(body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/news").arg(serverPort()); }

    QByteArray body;
    bool silent = false;
    QStringList requests;

private:
    QHash<QTcpSocket *, QByteArray> m_buffer;
};

struct Options : QXNewsDelegate {
    QString optionsForQXNews() override { return QStringLiteral("a b&c"); }
};

class News : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.isListening());
        forget();
        QXNews &news = QXNews::sharedNews();
        news.setServerURL(m_server.url());
        news.setAlert([this](const QString &text) { alerts << text; });
        news.setLinkOpener([this](const QUrl &url) { opened << url; });
        news.setDelegate(&m_options);
    }
    void TearDown() override
    {
        QXNews &news = QXNews::sharedNews();
        waitUntil([&] { return !news.isCheckingInProgress(); });
        news.window()->hide();
        news.parseNews(QString());
        news.setAlert({});
        news.setLinkOpener({});
        news.setDelegate(nullptr);
        news.setTimeout(20000);
        news.setServerURL(QString());
        forget();
    }
    static void forget()
    {
        for (const char *key :
             {"QXNewsAllAnchors", "QXNewsNotAllowed", "QXNewsNotShowAll", "QXNewsPrevCheck"})
            store().removeObjectForKey(QString::fromLatin1(key));
    }
    bool checkEnded(int requests)
    {
        return waitUntil([&] {
            return m_server.requests.size() >= requests
                   && !QXNews::sharedNews().isCheckingInProgress();
        });
    }

    NewsServer m_server;
    Options m_options;
    QStringList alerts;
    QList<QUrl> opened;
};

TEST_F(News, AValidReplyListsItsItemsAndReadingOneRemembersIt)
{
    store().setObject(QVariantList{"old&one two", "x#y"}, "QXNewsAllAnchors");
    m_server.body = "{QXNews}\n"
                    "preview:before any item\n"
                    "id:1\npreview:Line one\\nLine two\nurl:https://example.org/a\n"
                    "id:2\npreview:[R]\n"
                    "id:3\npreview:Hidden\nhuman_id:h\n"
                    "target_app:Other\nid:4\npreview:Not ours\n"
                    "target_app:Quintora\n"
                    "id:5\npreview:Plain\n"
                    "id:old&one two\npreview:[O]\n";
    QXNews &news = QXNews::sharedNews();
    news.checkNews();
    ASSERT_TRUE(checkEnded(1));
    ASSERT_TRUE(waitUntil([&] { return news.window()->isVisible(); }));

    ASSERT_EQ(news.news().size(), 2);
    EXPECT_EQ(news.news().at(0).value("preview"), "Line one\nLine two");
    EXPECT_EQ(news.table()->item(0, 1)->text(), "Line one\nLine two Read more...");
    EXPECT_EQ(news.news().at(1).value("id"), "5");
    EXPECT_EQ(news.unreadCount(), 2);
    EXPECT_TRUE(news.window()->windowTitle().endsWith("(2)"));
    EXPECT_TRUE(alerts.isEmpty());
    // "[O]" gave its id back to the server.
    EXPECT_EQ(store().arrayForKey("QXNewsAllAnchors"), QVariantList{"x#y"});

    // The query's values are percent-encoded.
    const QUrlQuery query(QUrl(m_server.requests.first()));
    EXPECT_TRUE(m_server.requests.first().contains("anchors=old%26one%20two!x%23y"));
    EXPECT_TRUE(m_server.requests.first().contains("options=a%20b%26c"));
    EXPECT_FALSE(query.queryItemValue("locale").isEmpty());

    // Selecting reads without opening; a double-click opens the web link.
    news.table()->selectRow(0);
    EXPECT_EQ(news.unreadCount(), 1);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(store().arrayForKey("QXNewsAllAnchors"), (QVariantList{"x#y", "1"}));
    news.readRow(0, true);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), QUrl("https://example.org/a"));
    news.readRow(1, true);
    EXPECT_EQ(opened.size(), 1); // no link
}

TEST_F(News, TheAutomaticCheckAsksAtMostOnceAWeek)
{
    m_server.body = "{QXNews}\n";
    QXNews &news = QXNews::sharedNews();
    news.checkNewsInBackgroundIfNeed();
    ASSERT_TRUE(checkEnded(1));
    news.checkNewsInBackgroundIfNeed();
    EXPECT_FALSE(news.isCheckingInProgress());
    EXPECT_EQ(m_server.requests.size(), 1);
    EXPECT_TRUE(alerts.isEmpty()); // nothing to say for a check nobody asked for

    // Eight days later, with checks switched off: no request, but the week starts again.
    store().setObject(QDateTime::currentDateTime().addDays(-8), "QXNewsPrevCheck");
    news.updateAllowed();
    news.allowedCheckbox()->click();
    EXPECT_FALSE(news.allowedState());
    news.checkNewsInBackgroundIfNeed();
    EXPECT_FALSE(news.isCheckingInProgress());
    EXPECT_GT(store().objectForKey("QXNewsPrevCheck").toDateTime(),
              QDateTime::currentDateTime().addDays(-1));
    EXPECT_EQ(m_server.requests.size(), 1);
}

TEST_F(News, BadRepliesAreReportedToTheUserAndNeverFreezeTheWindow)
{
    struct Row {
        QByteArray body;
        QString message;
    };
    const QString invalid = "No valid answer is received.\nCan't connect to remote server.";
    const QList<Row> rows{{"{QXNews}", invalid},
                          {"<html>not news</html>", invalid},
                          {QByteArray(), invalid},
                          {"{QXNews}\n" + QByteArray(10 * 1024 * 1024, 'x'), invalid},
                          {"{QXNews}\nid:1\n", "Sorry, no News found for today."}};
    QXNews &news = QXNews::sharedNews();
    int requests = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.body.left(30).toStdString());
        alerts.clear();
        m_server.body = row.body;
        news.checkNews();
        ASSERT_TRUE(checkEnded(++requests));
        ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
        EXPECT_EQ(alerts, QStringList{row.message});
        EXPECT_FALSE(news.window()->isVisible());
    }

    // A server that does not answer: a second check meanwhile is refused, the first one ends
    // when its time is up.
    alerts.clear();
    m_server.silent = true;
    news.setTimeout(300);
    news.checkNews();
    ASSERT_TRUE(waitUntil([&] { return m_server.requests.size() == requests + 1; }));
    EXPECT_TRUE(news.isCheckingInProgress());
    news.checkNewsInBackground();
    EXPECT_EQ(alerts, QStringList{"News check already in progress!"});
    ASSERT_TRUE(waitUntil([&] { return !news.isCheckingInProgress(); }));
    EXPECT_EQ(m_server.requests.size(), requests + 1);
}

// A check the user asked for that gets no answer at all (no server address, an address no request
// can be made from, a server that cannot be reached) says so; the weekly check stays silent.
TEST_F(News, ACheckWithoutAnAnswerIsReportedOnlyWhenTheUserAskedForIt)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString unreachable = QStringLiteral("http://127.0.0.1:%1/news").arg(closed.serverPort());
    closed.close();
    const QString invalid = "No valid answer is received.\nCan't connect to remote server.";
    const QString none = "No news source is configured.";
    const struct {
        const char *what;
        QString server;
        QString message;
    } rows[] = {{"no server address", QString(), none},
                {"blanks only", QStringLiteral("  "), none},
                {"an address without a host", QStringLiteral("http://"),
                 "The news source is not a valid address:\nhttp://"},
                {"not an address", QStringLiteral("news server"),
                 "The news source is not a valid address:\nnews server"},
                {"a server that cannot be reached", unreachable, invalid}};
    QXNews &news = QXNews::sharedNews();
    const auto weeklyCheckIsSilent = [&] {
        alerts.clear();
        store().removeObjectForKey("QXNewsPrevCheck");
        news.checkNewsInBackgroundIfNeed();
        if (!waitUntil([&] { return !news.isCheckingInProgress(); }))
            return false;
        QCoreApplication::processEvents();
        return alerts.isEmpty();
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        news.setServerURL(row.server);
        EXPECT_TRUE(weeklyCheckIsSilent());

        news.checkNews();
        ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
        EXPECT_EQ(alerts, QStringList{row.message});
        EXPECT_FALSE(news.isCheckingInProgress());
        EXPECT_FALSE(news.window()->isVisible());

        // Reported once: the next weekly check is silent again.
        EXPECT_TRUE(weeklyCheckIsSilent());
    }
    EXPECT_TRUE(m_server.requests.isEmpty());
}

} // namespace
