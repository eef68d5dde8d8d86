#include "help/help_form.h"

#include "help/help_address.h"
#include "help/online_watcher.h"
#include "shell/data_folder.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// The character set named in a Content-Type header, or empty.
QByteArray CharsetOf(const QByteArray& contentType) {
    for (const QByteArray& part : contentType.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.toLower().startsWith("charset=")) {
            QByteArray name = p.mid(8).trimmed();
            if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
                name = name.mid(1, name.size() - 2);
            return name;
        }
    }
    return {};
}

// The page's text: in the character set its header names, else the one its
// byte-order mark or meta tag names, else UTF-8.
QString DecodePage(const QByteArray& body, const QByteArray& contentType) {
    const QByteArray charset = CharsetOf(contentType);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) return decoder.decode(body);
    }
    const auto encoding = QStringConverter::encodingForHtml(body);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    return decoder.decode(body);
}

bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == "http" || scheme == "https");
}

} // namespace

TFormHelp::TFormHelp(QWidget* parent, std::unique_ptr<ILocalAddress> address,
                     int32_t watchIntervalMs)
    : QWidget(parent, Qt::Tool) {
    setObjectName("FormHelp");
    setWindowTitle("Help");
    resize(790, 605);

    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setObjectName("WebBrowser1");
    // Links are fetched by the window, not by the view (which reads local
    // files only).
    WebBrowser1->setOpenLinks(false);
    WebBrowser1->setOpenExternalLinks(false);
    connect(WebBrowser1, &QTextBrowser::anchorClicked, this, &TFormHelp::FollowLink);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WebBrowser1);

    network_ = new QNetworkAccessManager(this);
    IPWatch1 = new TOnlineWatcher(std::move(address), watchIntervalMs, this);

    ShowNotice = [this](const QString& text) {
        QMessageBox::information(parentWidget(), QApplication::applicationName(), text);
    };

    const auto pages = FindDataPath("help/pages");
    SetLocalPages(pages ? QString::fromStdString(pages->string()) : QString());
}

TFormHelp::~TFormHelp() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void TFormHelp::SetHelpBase(const std::optional<std::string>& configured) {
    configuredBase_ = configured;
    // Without shipped pages the local help server is the best guess.
    const std::string local =
        localPages_.isEmpty()
            ? std::string(kDefaultHelpBase)
            : QUrl::fromLocalFile(localPages_ + "/").toString(QUrl::FullyEncoded).toStdString();
    helpBase_ = EffectiveHelpBase(configured, local);
}

void TFormHelp::SetLocalPages(const QString& folder) {
    const QFileInfo info(folder);
    localPages_ = folder.isEmpty() || !info.isDir() ? QString() : info.canonicalFilePath();
    SetHelpBase(configuredBase_);
}

bool TFormHelp::Online() const {
    return IPWatch1->Online();
}

THelpAnswer TFormHelp::ShowHelpPage(int32_t topic, int32_t language) {
    const THelpDecision decision = DecideHelpPage(Online(), topic, language, helpBase_);
    if (decision.Answer == THelpAnswer::ShowPage)
        Navigate(QString::fromStdString(decision.PageAddress));
    else if (ShowNotice)
        ShowNotice(QString::fromStdString(decision.Notice));
    return decision.Answer;
}

void TFormHelp::Navigate(const QString& address) {
    show();
    raise();
    activateWindow();
    Load(QUrl(address));
}

void TFormHelp::FollowLink(const QUrl& link) {
    const QUrl target = current_.resolved(link);
    // A jump inside the page shown needs no fetch.
    if (target.hasFragment() &&
        target.adjusted(QUrl::RemoveFragment) == current_.adjusted(QUrl::RemoveFragment) &&
        !Loading()) {
        current_ = target;
        WebBrowser1->scrollToAnchor(target.fragment());
        return;
    }
    Load(target);
}

void TFormHelp::Load(const QUrl& url) {
    // A newer request replaces one still under way: only the last click counts.
    if (reply_) {
        QNetworkReply* old = reply_;
        reply_ = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    current_ = url;
    if (url.isLocalFile()) {
        LoadLocalFile(url);
        return;
    }
    // Only web pages are fetched: a page must not make the window use other
    // schemes through a link.
    if (!IsWebAddress(url)) {
        ShowFailure(url, "Only http and https addresses can be shown.");
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > kMaxPageBytes || total > kMaxPageBytes) {
            reply->setProperty("pixmendTooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { LoadFinished(reply); });
}

void TFormHelp::LoadLocalFile(const QUrl& url) {
    // Only the shipped pages are read: a link in a page (or a help base
    // pointing elsewhere) must not make the window show other local files.
    const QFileInfo info(url.toLocalFile());
    const QString path = info.canonicalFilePath();
    if (localPages_.isEmpty() || path.isEmpty() || !path.startsWith(localPages_ + "/")) {
        ShowFailure(url, info.exists() ? "Only the help pages that come with Pixmend can be shown."
                                       : "There is no such page.");
        return;
    }
    QFile file(path);
    if (info.size() > kMaxPageBytes) {
        ShowFailure(url, QString("The page is larger than %1 bytes.").arg(kMaxPageBytes));
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        ShowFailure(url, file.errorString());
        return;
    }
    const QByteArray body = file.read(kMaxPageBytes);
    WebBrowser1->document()->setBaseUrl(url.adjusted(QUrl::RemoveFragment));
    WebBrowser1->setHtml(DecodePage(body, QByteArray()));
    if (url.hasFragment()) WebBrowser1->scrollToAnchor(url.fragment());
    emit PageLoaded(true);
}

void TFormHelp::LoadFinished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != reply_) return;
    reply_ = nullptr;

    const QUrl requested = current_;
    if (reply->property("pixmendTooLarge").toBool()) {
        ShowFailure(requested, QString("The page is larger than %1 bytes.").arg(kMaxPageBytes));
        return;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400) {
        const QString phrase =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        ShowFailure(
            requested,
            QString("The server answered %1 %2.").arg(status.toInt()).arg(phrase).trimmed());
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        ShowFailure(requested, reply->errorString());
        return;
    }

    const QByteArray body = reply->readAll();
    const QByteArray contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    // Redirects were followed: relative links count from where the page is.
    current_ = reply->url();
    if (requested.hasFragment() && !current_.hasFragment())
        current_.setFragment(requested.fragment());
    WebBrowser1->document()->setBaseUrl(current_.adjusted(QUrl::RemoveFragment));
    const QString text = DecodePage(body, contentType);
    if (contentType.toLower().startsWith("text/plain"))
        WebBrowser1->setPlainText(text);
    else
        WebBrowser1->setHtml(text);
    if (current_.hasFragment()) WebBrowser1->scrollToAnchor(current_.fragment());
    emit PageLoaded(true);
}

void TFormHelp::ShowFailure(const QUrl& url, const QString& reason) {
    WebBrowser1->document()->setBaseUrl(QUrl());
    WebBrowser1->setHtml(QString::fromStdString(
        FailedLoadPage(url.toDisplayString().toStdString(), reason.toStdString())));
    emit PageLoaded(false);
}
