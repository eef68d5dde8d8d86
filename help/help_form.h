#pragma once
// The help window "Help": a sizeable tool window whose whole client area
// shows context-help pages: those that ship with the program, read straight
// from their folder, or, when the settings name a help base, pages fetched
// over HTTP from that server. It is not modal and keeps its last page until
// the user closes it; closing only hides it. Links inside a page are
// followed in the window, fetched the same way. A missing page, or a server
// that cannot be reached, shows the failed-load page and nothing more.
//
// The window also carries the online watcher, whose flag decides whether a
// help request is answered at all.

#include "help/help_request.h"
#include "help/local_address.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;
class QTextBrowser;
class TOnlineWatcher;

class TFormHelp : public QWidget {
    Q_OBJECT
public:
    // A page larger than this is not shown: a broken server must not make the
    // window hold an unbounded answer.
    static constexpr int64_t kMaxPageBytes = 8 * 1024 * 1024;
    // A server that accepts the connection but stays silent this long counts
    // as unreachable.
    static constexpr int32_t kTransferTimeoutMs = 20000;

    // address: where the online watcher finds the local address (the host's
    // own name when null); watchIntervalMs: the watcher's period.
    explicit TFormHelp(QWidget* parent = nullptr, std::unique_ptr<ILocalAddress> address = nullptr,
                       int32_t watchIntervalMs = 500);
    ~TFormHelp() override;

    // The base address of the help pages, from the configured value (none or
    // blank: the shipped pages' folder).
    void SetHelpBase(const std::optional<std::string>& configured);
    // The folder of the shipped pages (found beside the installed program or
    // in the source tree at construction). Only files inside it are ever
    // read from disk.
    void SetLocalPages(const QString& folder);
    const QString& LocalPages() const { return localPages_; }
    const std::string& HelpBase() const { return helpBase_; }

    // Answers a help request for an element with the given help topic (0 for
    // elements without one) in interface language number language: shows
    // one of the two notices, or shows the window and loads the page.
    THelpAnswer ShowHelpPage(int32_t topic, int32_t language);

    // Shows the window (brings it up if it is open) and loads the page at
    // address.
    void Navigate(const QString& address);

    // The online watcher's flag.
    bool Online() const;
    TOnlineWatcher* IPWatch1 = nullptr;

    // Shows a notice of a help request. A message box unless replaced (tests
    // replace it so that no box waits for a click).
    std::function<void(const QString& text)> ShowNotice;

    QTextBrowser* WebBrowser1 = nullptr;

    // The address of the page shown or being loaded, and whether a load is
    // still under way.
    QUrl CurrentAddress() const { return current_; }
    bool Loading() const { return reply_ != nullptr; }

signals:
    // After every load, successful or not.
    void PageLoaded(bool ok);

private:
    void Load(const QUrl& url);
    void LoadLocalFile(const QUrl& url);
    void LoadFinished(QNetworkReply* reply);
    void ShowFailure(const QUrl& url, const QString& reason);
    void FollowLink(const QUrl& link);

    QNetworkAccessManager* network_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QUrl current_;
    std::string helpBase_;
    std::optional<std::string> configuredBase_;
    QString localPages_;
};
