#pragma once
// Shared set-up of the main window tests: a real TForm1 with the filter list
// window on the offscreen platform, scripted boxes and file dialogs, and a
// settings folder of its own per test.

#include "app/main_form.h"
#include "app/user_dialogs.h"
#include "app/view_area.h"
#include "filter/batch_form.h"
#include "filter/filter_list_form.h"
#include "filter/zoom_form.h"
#include "help/about_form.h"
#include "help/help_form.h"
#include "help/local_address.h"
#include "help/version_info_form.h"
#include "imagefile/image_file.h"
#include "spectral/resize_form.h"
#include "tests/support/test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Answers boxes and file dialogs from a script and records what was shown.
class TFakeDialogs : public IUserDialogs {
public:
    std::deque<bool> Answers;                 // Confirm answers, in order; No when empty
    std::deque<std::optional<QString>> Files; // file dialog results; cancel when empty
    std::vector<QString> Questions;
    std::vector<QString> Errors;
    std::vector<QString> Informations;
    std::vector<QString> FileDialogs;         // object names of the dialogs run
    std::deque<std::optional<QString>> Texts; // text prompt results; cancel when empty
    std::vector<QString> Prompts;             // caption, prompt and preset text of each
    std::deque<int> Choices;                // Choose answers, in order; the last button when empty
    std::vector<QStringList> ChoiceButtons; // the buttons of each Choose, its text in Questions

    bool Confirm(QWidget*, const QString& text) override {
        Questions.push_back(text);
        if (Answers.empty()) return false;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    int Choose(QWidget*, const QString& text, const QStringList& buttons) override {
        Questions.push_back(text);
        ChoiceButtons.push_back(buttons);
        if (Choices.empty()) return int(buttons.size()) - 1;
        const int answer = Choices.front();
        Choices.pop_front();
        return answer;
    }
    void ShowError(QWidget*, const QString& message) override { Errors.push_back(message); }
    void ShowInformation(QWidget*, const QString& text) override { Informations.push_back(text); }
    std::optional<QString> RunFileDialog(QFileDialog& dialog) override {
        FileDialogs.push_back(dialog.objectName());
        if (Files.empty()) return std::nullopt;
        auto file = Files.front();
        Files.pop_front();
        return file;
    }
    std::optional<QString> AskText(QWidget*, const QString& caption, const QString& prompt,
                                   const QString& text) override {
        Prompts.push_back(caption + "|" + prompt + "|" + text);
        if (Texts.empty()) return std::nullopt;
        auto answer = Texts.front();
        Texts.pop_front();
        return answer;
    }
};

// Waits, on a worker, until the window's thread sets `flag` (a run's cancel,
// a test's sign that the window went on). Bounded, so that a window that
// never does fails its test instead of hanging it.
inline void WaitUntilSet(const std::atomic<bool>& flag) {
    for (int i = 0; i < 60000 && !flag.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Passes the reports on, and holds the run after the first one of `at`
// percent or more until the window has asked it to stop, so that the window
// acts in the middle of the run however fast the machine is.
class THoldAt final : public IProgress {
public:
    THoldAt(IProgress& inner, const std::atomic<bool>* cancel, double at)
        : inner_(inner), cancel_(cancel), at_(at) {}
    void Phase(const std::string& key) override { inner_.Phase(key); }
    void Percent(double percent) override {
        inner_.Percent(percent);
        if (held_ || percent < at_ || !cancel_) return;
        held_ = true;
        WaitUntilSet(*cancel_);
    }
    void ClearPercent() override { inner_.ClearPercent(); }

private:
    IProgress& inner_;
    const std::atomic<bool>* cancel_;
    double at_;
    bool held_ = false;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        oldConfig_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
        Form = std::make_unique<TForm1>(Store, Dialogs);
        Form->QuitApplication = [this] { ++QuitCalls; };
        Zoom = std::make_unique<TFormZoom>();
        Protokol = std::make_unique<TFormProtokol>();
        About = std::make_unique<TFormAbout>();
        VersionInfo = std::make_unique<TVersionInfoForm>();
        Batch = std::make_unique<TFormBatch>();
        Resize = std::make_unique<TFResize>();
        // A machine whose name resolves to the loopback address: offline.
        struct TLoopback final : ILocalAddress {
            std::optional<std::string> Current() override { return "127.0.0.1"; }
        };
        Help = std::make_unique<TFormHelp>(nullptr, std::make_unique<TLoopback>());
        ConnectOtherWindows();
    }
    // Hands the fixture's other windows to the main window (again, after a
    // test replaced one of them).
    void ConnectOtherWindows() {
        TOtherWindows windows;
        windows.FormHelp = Help.get();
        windows.FormZoom = Zoom.get();
        windows.FormProtokol = Protokol.get();
        windows.FormAbout = About.get();
        windows.VersionInfoForm = VersionInfo.get();
        windows.FormBatch = Batch.get();
        windows.FResize = Resize.get();
        Form->SetOtherWindows(windows);
    }
    void TearDown() override {
        Form.reset();
        if (oldConfig_)
            setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    // The first showing: reads the settings and applies the language.
    void ShowForm() { Form->show(); }

    bool On(TControlId id) const {
        QObject* control = Form->Control(id);
        if (auto* widget = qobject_cast<QWidget*>(control))
            return !widget->testAttribute(Qt::WA_ForceDisabled);
        return qobject_cast<QAction*>(control)->isEnabled();
    }

    // Runs the Open command with the file dialog answering path.
    void Open(const std::string& path) {
        Dialogs.Files.push_back(QString::fromStdString(path));
        Form->ToolOpen->click();
    }
    // The same for a file that must load.
    void OpenImage(const std::string& path) {
        Open(path);
        ASSERT_EQ(Form->CommandState(), 1) << "opened " << path;
    }
    // Opens a w x h image (WriteBitmap's pattern for seed) and shows its spectrum.
    void OpenSpectrum(int32_t w, int32_t h, uint8_t seed = 0) {
        OpenImage(WriteBitmap("scan.bmp", w, h, seed));
        Form->ToolTransform->click();
        ASSERT_EQ(Form->CommandState(), 2);
    }

    // A 24-bit bitmap file of w x h with a recognisable pattern.
    std::string WriteBitmap(const std::string& name, int32_t w, int32_t h, uint8_t seed = 0) {
        TBitmap24 bitmap(w, h);
        for (size_t i = 0; i < bitmap.Bytes.size(); ++i) bitmap.Bytes[i] = uint8_t(i * 7 + seed);
        const std::string path = Files.File(name);
        WriteImageFile(path, bitmap);
        return path;
    }
    std::string SettingsText() const {
        const auto bytes = ReadFileBytes(Config.File("Pixmend"));
        return std::string(bytes.begin(), bytes.end());
    }

    TTempDir Config;
    TTempDir Files;
    TSpectrumStore Store;
    TFakeDialogs Dialogs;
    std::unique_ptr<TForm1> Form;
    std::unique_ptr<TFormZoom> Zoom;
    std::unique_ptr<TFormProtokol> Protokol;
    std::unique_ptr<TFormHelp> Help;
    std::unique_ptr<TFormAbout> About;
    std::unique_ptr<TVersionInfoForm> VersionInfo;
    std::unique_ptr<TFormBatch> Batch;
    std::unique_ptr<TFResize> Resize;
    int QuitCalls = 0;

private:
    std::optional<std::string> oldConfig_;
};
