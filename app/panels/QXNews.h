#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

class QCheckBox;
class QTableWidget;
class QWidget;
class QXNewsDelegate;

// The news window and feed, one per process. A check asks the news server named in the bundle's
// Info.plist ("QXNewsServerURL") for short news items, at most once a week by itself or at once
// on the user's request, and lists them in a small window: each item has a text, an optional
// link and an optional icon. Items read are remembered and their ids sent back, so the server
// can leave them out. The request runs on the event loop (Qt Network), never blocking the
// window, with a time limit and a limit on the reply's size. GUI thread only.
class QXNews : public QObject
{
    Q_OBJECT
public:
    static QXNews &sharedNews();

    // Not owned.
    void setDelegate(QXNewsDelegate *delegate);
    QXNewsDelegate *delegate() const;

    // The weekly automatic check: nothing when the last one is less than a week old; the week
    // restarts even when automatic checks are switched off.
    void checkNewsInBackgroundIfNeed();
    // The user's request: checks at once and reports an empty or failed result; with the window
    // already open, only brings it to the front.
    void checkNews();
    // Starts a check; a second one while one runs is refused with a message.
    void checkNewsInBackground();
    void showNews();

    bool allowedState() const;
    void setAllowedState(bool allowed);
    // The window's switches show the stored states.
    void updateAllowed();
    bool showAllState() const;
    void setShowAllState(bool showAll);

    bool isCheckingInProgress() const { return m_checkingInProgress; }
    const QList<QVariantMap> &news() const { return m_news; }
    int unreadCount() const;
    // The reply of the news server, as the feed's text.
    void parseNews(const QString &text);
    // Marks the item of a row read (remembering its id) and opens its link when asked.
    void readRow(int row, bool openLink);

    QWidget *window();
    QTableWidget *table();
    QCheckBox *allowedCheckbox();

    // The server's base address; by default the bundle's "QXNewsServerURL".
    void setServerURL(const QString &url);
    QString serverURL() const;
    // Milliseconds a request may take; bytes a reply may have.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    static constexpr qint64 kMaximumReplyBytes = 1024 * 1024;
    // The request's address for the current state (percent-encoded values).
    QString requestURL() const;

    // Messages are shown in boxes; tests take them instead. Links are handed to the desktop;
    // tests take them instead.
    using Alert = std::function<void(const QString &text)>;
    void setAlert(Alert alert) { m_alert = std::move(alert); }
    using LinkOpener = std::function<void(const QUrl &url)>;
    void setLinkOpener(LinkOpener opener) { m_openLink = std::move(opener); }

signals:
    // A check ended (with or without news).
    void checkFinished();

private:
    QXNews() = default;
    void makeWindow();
    void finished(const QByteArray &data, const QString &error);
    void completeItem(QVariantMap &item);
    void reloadTable();
    void updateBadge();
    void loadIcon(int row, const QString &iconURL);
    void alert(const QString &text);
    // Tells the user, when the running check is theirs, that no news answer came and why (by
    // default: the server could not be reached or gave no news).
    void reportNoAnswer(const QString &message = QString());
    static QString bundleString(const QString &key);

    QXNewsDelegate *m_delegate = nullptr;
    QPointer<QWidget> m_window;
    QTableWidget *m_table = nullptr;
    QCheckBox *m_allowed = nullptr;
    QCheckBox *m_showAll = nullptr;
    QList<QVariantMap> m_news;
    QImage m_unreadImage;
    bool m_checkingInProgress = false;
    bool m_reportWhenDone = false;
    QString m_serverURL;
    bool m_serverURLSet = false;
    int m_timeout = 20000;
    Alert m_alert;
    LinkOpener m_openLink;
};
