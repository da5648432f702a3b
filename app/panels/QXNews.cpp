#include "app/panels/QXNews.h"

#include "app/panels/QXNewsDelegate.h"
#include "app/panels/QXNewsFetcher.h"
#include "platform/PropertyList.h"
#include "platform/QntPaths.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcNews, "quintora.news")

namespace {

const QString kAllAnchors = QStringLiteral("QXNewsAllAnchors");
const QString kNotAllowed = QStringLiteral("QXNewsNotAllowed");
const QString kNotShowAll = QStringLiteral("QXNewsNotShowAll");
const QString kPrevCheck = QStringLiteral("QXNewsPrevCheck");
const QString kMarker = QStringLiteral("{QXNews}");
const QString kTarget = QStringLiteral(":Quintora");
constexpr qint64 kWeek = 604800;
// Read ids kept (the oldest go first): the request stays a sensible size.
constexpr qsizetype kMaximumAnchors = 500;
constexpr int kIconColumn = 0;
constexpr int kPreviewColumn = 1;

UserDefaults &store()
{
    return UserDefaults::standardUserDefaults();
}

QImage makeUnreadImage()
{
    QImage image(12, 12, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2f, 0x7d, 0xe1));
    painter.drawEllipse(QRectF(2, 2, 8, 8));
    return image;
}

bool isWebLink(const QUrl &url)
{
    return url.isValid()
           && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

} // namespace

QXNews &QXNews::sharedNews()
{
    static QXNews *news = new QXNews; // lives for the process, like the window it stands for
    return *news;
}

void QXNews::setDelegate(QXNewsDelegate *delegate)
{
    m_delegate = delegate;
}

QXNewsDelegate *QXNews::delegate() const
{
    return m_delegate;
}

QString QXNews::bundleString(const QString &key)
{
    QFile file(QntPaths::bundleResourcesPath() + QStringLiteral("/Info.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<QVariant> info = PropertyList::fromData(file.read(1 << 20));
    return info ? info->toMap().value(key).toString() : QString();
}

void QXNews::setServerURL(const QString &url)
{
    m_serverURL = url;
    m_serverURLSet = true;
}

QString QXNews::serverURL() const
{
    return m_serverURLSet ? m_serverURL : bundleString(QStringLiteral("QXNewsServerURL"));
}

bool QXNews::allowedState() const
{
    return !store().boolForKey(kNotAllowed);
}

void QXNews::setAllowedState(bool allowed)
{
    store().setBool(!allowed, kNotAllowed);
    store().synchronize();
}

void QXNews::updateAllowed()
{
    if (!m_allowed)
        return;
    m_allowed->setChecked(allowedState());
    m_showAll->setChecked(showAllState());
}

bool QXNews::showAllState() const
{
    return !store().boolForKey(kNotShowAll);
}

void QXNews::setShowAllState(bool showAll)
{
    store().setBool(!showAll, kNotShowAll);
    store().synchronize();
}

void QXNews::alert(const QString &text)
{
    if (m_alert) {
        m_alert(text);
        return;
    }
    QString title = bundleString(QStringLiteral("CFBundleName"));
    if (title.isEmpty())
        title = QCoreApplication::applicationName();
    QMessageBox::information(m_window && m_window->isVisible() ? m_window.data() : nullptr, title,
                             text);
}

// ---- checks -------------------------------------------------------------------------------------

void QXNews::checkNewsInBackgroundIfNeed()
{
    const QDateTime previous = store().objectForKey(kPrevCheck).toDateTime();
    const QDateTime now = QDateTime::currentDateTime();
    if (previous.isValid() && previous.secsTo(now) <= kWeek && previous <= now)
        return;
    store().setObject(now, kPrevCheck);
    store().synchronize();
    if (allowedState())
        checkNewsInBackground();
}

void QXNews::checkNews()
{
    if (m_window && m_window->isVisible()) {
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    m_reportWhenDone = true;
    checkNewsInBackground();
}

QString QXNews::requestURL() const
{
    const QStringList locales = QLocale().uiLanguages();
    const QString locale = locales.isEmpty() ? QString() : locales.first();
    QStringList anchors;
    for (const QVariant &id : store().arrayForKey(kAllAnchors))
        anchors << QString::fromLatin1(QUrl::toPercentEncoding(id.toString()));
    const QString options = m_delegate ? m_delegate->optionsForQXNews() : QString();
    // Every value is percent-encoded; the "!" between read ids stays a separator.
    return serverURL()
           + QStringLiteral("?locale=%1&anchors=%2&options=%3")
                 .arg(QString::fromLatin1(QUrl::toPercentEncoding(locale)), anchors.join('!'),
                      QString::fromLatin1(QUrl::toPercentEncoding(options)));
}

void QXNews::checkNewsInBackground()
{
    if (m_checkingInProgress) {
        alert(tr("News check already in progress!"));
        m_reportWhenDone = false;
        return;
    }
    const QString base = serverURL().trimmed();
    const QUrl url(requestURL(), QUrl::StrictMode);
    if (base.isEmpty() || !url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        // The user who asked hears why nothing can come back.
        if (base.isEmpty()) {
            qCInfo(lcNews) << "no news server address is configured";
            reportNoAnswer(tr("No news source is configured."));
        } else {
            qCInfo(lcNews) << "no news request can be made from the server address" << base;
            reportNoAnswer(tr("The news source is not a valid address:\n%1").arg(base));
        }
        emit checkFinished();
        return;
    }
    QXNewsFetcher *fetcher = QXNewsFetcher::shared();
    if (!fetcher) {
        reportNoAnswer(QXNewsFetcher::loadError());
        emit checkFinished();
        return;
    }
    m_checkingInProgress = true;
    fetcher->get(url, m_timeout, kMaximumReplyBytes, true, this,
                 [this](const QByteArray &body, const QString &error) { finished(body, error); });
}

void QXNews::finished(const QByteArray &data, const QString &error)
{
    m_checkingInProgress = false;
    const QString text = QString::fromUtf8(data);
    if (text.size() > kMarker.size() && text.startsWith(kMarker)) {
        parseNews(text);
        emit checkFinished();
        return;
    }
    if (!error.isEmpty())
        qCInfo(lcNews).noquote() << "news check failed:" << error;
    else
        qCInfo(lcNews) << "Invalid QXN-stream";
    // A check the user asked for says what went wrong, whether the server could not be reached
    // or answered something else.
    reportNoAnswer();
    emit checkFinished();
}

void QXNews::reportNoAnswer(const QString &message)
{
    if (!m_reportWhenDone)
        return;
    m_reportWhenDone = false;
    alert(message.isEmpty() ? tr("No valid answer is received.\nCan't connect to remote server.")
                            : message);
}

// ---- the feed -----------------------------------------------------------------------------------

void QXNews::completeItem(QVariantMap &item)
{
    if (item.isEmpty())
        return;
    const QVariantMap done = item;
    item.clear();
    if (done.contains(QStringLiteral("human_id")))
        return;
    const QString id = done.value(QStringLiteral("id")).toString();
    if (id.isEmpty() || !done.contains(QStringLiteral("preview")))
        return;
    const QString preview = done.value(QStringLiteral("preview")).toString();
    if (preview == QLatin1String("[O]")) {
        if (store().objectForKey(kAllAnchors).isValid()) {
            QVariantList anchors = store().arrayForKey(kAllAnchors);
            anchors.removeAll(id);
            store().setObject(anchors, kAllAnchors);
            store().synchronize();
        }
        return;
    }
    if (preview == QLatin1String("[R]"))
        return;
    QVariantMap shown{{QStringLiteral("id"), id},
                      {QStringLiteral("preview"),
                       QString(preview).replace(QLatin1String("\\n"), QLatin1String("\n"))}};
    for (const QString &key : {QStringLiteral("url"), QStringLiteral("icon_url")}) {
        if (done.contains(key))
            shown.insert(key, done.value(key));
    }
    m_news.append(shown);
}

void QXNews::parseNews(const QString &text)
{
    m_news.clear();
    QVariantMap item;
    QString target;
    const auto valueOf = [](const QString &line, const QString &prefix) -> std::optional<QString> {
        if (line.size() > prefix.size() && line.startsWith(prefix))
            return line.mid(prefix.size());
        return std::nullopt;
    };
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (const auto value = valueOf(line, QStringLiteral("target_app"))) {
            target = *value;
            continue;
        }
        if (!target.isNull() && target != kTarget)
            continue;
        if (const auto value = valueOf(line, QStringLiteral("id:"))) {
            completeItem(item);
            item.insert(QStringLiteral("id"), *value);
            continue;
        }
        if (item.isEmpty())
            continue; // field lines before the first item
        for (const char *field : {"preview", "url", "icon_url", "human_id"}) {
            const QString key = QString::fromLatin1(field);
            if (const auto value = valueOf(line, key + QLatin1Char(':'))) {
                item.insert(key, *value);
                break;
            }
        }
    }
    completeItem(item);

    reloadTable();
    if (!m_news.isEmpty()) {
        m_table->scrollToTop();
        m_reportWhenDone = true; // a reply with items is always shown
    }
    if (!m_reportWhenDone)
        return;
    m_reportWhenDone = false;
    if (m_news.isEmpty()) {
        alert(tr("Sorry, no News found for today."));
        return;
    }
    showNews();
    if (!QApplication::activeWindow())
        QApplication::alert(window());
}

int QXNews::unreadCount() const
{
    int count = 0;
    for (const QVariantMap &item : m_news) {
        if (!item.contains(QStringLiteral("unread"))
            || item.value(QStringLiteral("unread")).toBool())
            ++count;
    }
    return count;
}

// ---- the window ---------------------------------------------------------------------------------

QWidget *QXNews::window()
{
    if (!m_window)
        makeWindow();
    return m_window;
}

QTableWidget *QXNews::table()
{
    window();
    return m_table;
}

QCheckBox *QXNews::allowedCheckbox()
{
    window();
    return m_allowed;
}

void QXNews::makeWindow()
{
    m_unreadImage = makeUnreadImage();
    auto *window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("QXNews"));
    window->setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(window);
    m_table = new QTableWidget(0, 2, window);
    m_table->setObjectName(QStringLiteral("newsTable"));
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(kIconColumn, QHeaderView::Fixed);
    m_table->horizontalHeader()->setSectionResizeMode(kPreviewColumn, QHeaderView::Stretch);
    m_table->setColumnWidth(kIconColumn, 48);
    m_table->setIconSize(QSize(40, 40));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(true);
    layout->addWidget(m_table, 1);
    auto *hint = new QLabel(tr("Double-click an item to open its link."), window);
    hint->setStyleSheet(QStringLiteral("QLabel { color: #777777; }"));
    layout->addWidget(hint);
    m_allowed = new QCheckBox(tr("Check and show News automatically when available"), window);
    m_allowed->setObjectName(QStringLiteral("allowedCheckbox"));
    m_showAll = new QCheckBox(tr("Show all News"), window);
    m_showAll->setObjectName(QStringLiteral("showAllCheckbox"));
    layout->addWidget(m_allowed);
    layout->addWidget(m_showAll);
    updateAllowed();
    connect(m_allowed, &QCheckBox::clicked, this, [this](bool on) { setAllowedState(on); });
    connect(m_showAll, &QCheckBox::clicked, this, [this](bool on) { setShowAllState(on); });
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] {
        const QList<QTableWidgetSelectionRange> ranges = m_table->selectedRanges();
        if (!ranges.isEmpty())
            readRow(ranges.first().topRow(), false);
    });
    connect(m_table, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { readRow(row, true); });
    connect(m_table, &QTableWidget::cellActivated, this,
            [this](int row, int) { readRow(row, true); });
    window->resize(460, 360);
    m_window = window;
    updateBadge();
}

void QXNews::reloadTable()
{
    window();
    const QSignalBlocker block(m_table);
    m_table->clearContents();
    m_table->setRowCount(int(m_news.size()));
    const int base = std::max(m_table->fontMetrics().height() + 8, 24);
    for (int row = 0; row < m_news.size(); ++row) {
        const QVariantMap &item = m_news.at(row);
        QString preview = item.value(QStringLiteral("preview")).toString();
        if (item.contains(QStringLiteral("url")))
            preview += tr(" Read more...");
        auto *text = new QTableWidgetItem(preview);
        m_table->setItem(row, kPreviewColumn, text);
        auto *icon = new QTableWidgetItem;
        const bool unread = !item.contains(QStringLiteral("unread"))
                            || item.value(QStringLiteral("unread")).toBool();
        if (unread)
            icon->setIcon(QIcon(QPixmap::fromImage(m_unreadImage)));
        m_table->setItem(row, kIconColumn, icon);
        QString stripped = item.value(QStringLiteral("preview")).toString();
        while (stripped.endsWith(QLatin1Char('\n')))
            stripped.chop(1);
        const int breaks = int(stripped.count(QLatin1Char('\n')));
        m_table->setRowHeight(row, breaks > 0 ? std::max((breaks + 1) * (base - 4), 40)
                                              : std::max(base, 40));
        if (item.contains(QStringLiteral("url")) && item.contains(QStringLiteral("icon_url")))
            loadIcon(row, item.value(QStringLiteral("icon_url")).toString());
    }
    updateBadge();
}

void QXNews::loadIcon(int row, const QString &iconURL)
{
    const QUrl url(iconURL);
    if (!isWebLink(url))
        return;
    QXNewsFetcher *fetcher = QXNewsFetcher::shared();
    if (!fetcher)
        return;
    const QString id = m_news.at(row).value(QStringLiteral("id")).toString();
    fetcher->get(url, m_timeout, kMaximumReplyBytes, false, this,
                 [this, id](const QByteArray &body, const QString &error) {
                     QImage image;
                     if (!error.isEmpty() || !image.loadFromData(body))
                         return; // the icon cell stays as it is
                     for (int r = 0; r < m_news.size() && m_table; ++r) {
                         if (m_news.at(r).value(QStringLiteral("id")).toString() == id) {
                             if (QTableWidgetItem *cell = m_table->item(r, kIconColumn))
                                 cell->setIcon(QIcon(QPixmap::fromImage(image.scaled(
                                     40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation))));
                         }
                     }
                 });
}

void QXNews::readRow(int row, bool openLink)
{
    if (row < 0 || row >= m_news.size())
        return;
    QVariantMap &item = m_news[row];
    const bool wasUnread =
        !item.contains(QStringLiteral("unread")) || item.value(QStringLiteral("unread")).toBool();
    item.insert(QStringLiteral("unread"), false);
    if (wasUnread) {
        if (QTableWidgetItem *cell = m_table ? m_table->item(row, kIconColumn) : nullptr) {
            if (!item.contains(QStringLiteral("icon_url")))
                cell->setIcon(QIcon());
        }
        QVariantList anchors = store().arrayForKey(kAllAnchors);
        const QString id = item.value(QStringLiteral("id")).toString();
        if (!anchors.contains(id)) {
            anchors.append(id);
            while (anchors.size() > kMaximumAnchors)
                anchors.removeFirst();
            store().setObject(anchors, kAllAnchors);
            store().synchronize();
        }
        updateBadge();
    }
    if (!openLink)
        return;
    // Only web links are opened, and only when the user asks.
    const QUrl url(item.value(QStringLiteral("url")).toString());
    if (!isWebLink(url))
        return;
    if (m_openLink)
        m_openLink(url);
    else
        QDesktopServices::openUrl(url);
}

void QXNews::updateBadge()
{
    if (!m_window)
        return;
    QString name = bundleString(QStringLiteral("CFBundleName"));
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    QString title = QStringLiteral("%1 ➩ %2").arg(name, tr("Hot News"));
    if (const int unread = unreadCount())
        title += QStringLiteral(" (%1)").arg(unread);
    m_window->setWindowTitle(title);
}

void QXNews::showNews()
{
    QWidget *w = window();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = w->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        w->move(frame.topLeft());
    }
    {
        const QSignalBlocker block(m_table);
        m_table->clearSelection();
    }
    updateAllowed();
    w->show();
    w->raise();
    w->activateWindow();
    updateBadge();
}
