// Opening a big file: it is read on a worker thread while the window's event
// loop goes on, the commands that touch the picture wait meanwhile, and a
// damaged file still leaves everything as it was.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"

#include "filter/filter_entry.h"

#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

namespace {

class MainFormOpenTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
        // A read on a worker is held until the window's event loop has
        // turned, so that the window is seen in the middle of the load
        // however fast the machine is; bounded, so that a loop that never
        // turns fails the test instead of hanging it.
        const std::thread::id window = std::this_thread::get_id();
        Form->ReadPicture = [this, window](const std::string& fileName) {
            ReadThread = std::this_thread::get_id();
            for (int i = 0; i < 60000 && !Ticked && ReadThread != window; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return ReadImageFile(fileName);
        };
    }

    // Opens the file with a timer armed that looks at the window when the
    // event loop first turns.
    void OpenWatched(const std::string& path) {
        Ticked = false;
        QTimer::singleShot(0, Form.get(), [this] {
            Ticked = true;
            StatusWhileLoading = Form->StatusPanels[0]->text();
            OpenWhileLoading = On(TControlId::ToolOpen);
            TransformWhileLoading = On(TControlId::ToolTransform);
            FilterWhileLoading = On(TControlId::ToolLoadFilter);
            if (OnTick) OnTick();
        });
        Open(path);
    }

    // What the user does while the file loads.
    std::function<void()> OnTick;
    std::atomic<bool> Ticked{false};
    std::thread::id ReadThread;
    QString StatusWhileLoading;
    bool OpenWhileLoading = true;
    bool TransformWhileLoading = true;
    bool FilterWhileLoading = false;
};

TEST_F(MainFormOpenTest, ABigFileLoadsWhileTheWindowGoesOn) {
    // Over the size that small files load at once with.
    const std::string path = WriteBitmap("page.bmp", 400, 300, 5);
    const TBitmap24 page = ReadImageFile(path);
    OpenWatched(path);

    EXPECT_TRUE(Ticked) << "the event loop turned during the load";
    EXPECT_NE(ReadThread, std::this_thread::get_id());
    EXPECT_EQ(StatusWhileLoading, "Opening page.bmp \u2026");
    EXPECT_FALSE(OpenWhileLoading);
    EXPECT_FALSE(TransformWhileLoading);
    EXPECT_TRUE(FilterWhileLoading) << "a filter may be opened meanwhile";

    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->Image1->Picture.Bytes, page.Bytes);
    EXPECT_EQ(Form->Image1->size(), Form->Image1->Zoom().Scaled(QSize(400, 300)));
    ASSERT_EQ(Store.Cols, 400);
    ASSERT_EQ(Store.Rows, 300);
    EXPECT_EQ(Store.At(2, 399, 299), float(page.Pixel(399, 299)[2]) - 127.0f);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) page.bmp");
    EXPECT_EQ(Form->StatusPanels[0]->text(), "image loaded");
    EXPECT_TRUE(On(TControlId::ToolOpen));
    EXPECT_TRUE(On(TControlId::ToolTransform));
    EXPECT_EQ(Form->RecentFiles().value(0), QString::fromStdString(path));
}

TEST_F(MainFormOpenTest, ADamagedBigFileLeavesThePreviousPicture) {
    // The first picture is small and loads at once, on the window's thread.
    Open(WriteBitmap("good.bmp", 12, 10, 3));
    EXPECT_EQ(ReadThread, std::this_thread::get_id());
    ASSERT_EQ(Form->CommandState(), 1);
    const TBitmap24 before = Form->Image1->Picture;
    const std::vector<float> plane = Store.Planes[1];
    const TControlStates controls = Form->CurrentControlStates();

    std::vector<uint8_t> bytes = ReadFileBytes(WriteBitmap("cut.bmp", 640, 480));
    bytes.resize(bytes.size() / 2);
    WriteFileBytes(Files.File("cut.bmp"), bytes);
    OpenWatched(Files.File("cut.bmp"));

    EXPECT_TRUE(Ticked);
    EXPECT_NE(ReadThread, std::this_thread::get_id());
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_TRUE(Dialogs.Errors[0].startsWith(QString::fromStdString(Files.File("cut.bmp")) + "\n"))
        << Dialogs.Errors[0].toStdString();
    EXPECT_EQ(Form->Image1->Picture.Bytes, before.Bytes);
    EXPECT_EQ(Store.Cols, 12);
    EXPECT_EQ(Store.Planes[1], plane);
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) good.bmp");
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->CurrentControlStates().Enabled, controls.Enabled);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "ready");
}

TEST_F(MainFormOpenTest, AFilterOpenedWhileTheFileLoadsStaysForThePicture) {
    // An unsaved entry: Open asks whether it stays, and the user starts a new filter.
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.3f, 0.2f, 0.4f);
    Dialogs.Choices.push_back(1);
    const std::string filter = Files.File("kept.flt");
    std::ofstream(filter, std::ios::binary)
        << "typ=rec,x1=0.10000,x2=0.20000,y1=0.10000,y2=0.20000\r\n"
        << "typ=rec,x1=0.30000,x2=0.40000,y1=0.30000,y2=0.40000\r\n";
    // Meanwhile the user opens a filter, letting the unsaved entry go: the
    // newer choice wins over the new filter asked for before.
    OnTick = [&] {
        Dialogs.Choices.push_back(1);
        Form->RunCommand([&] { Form->OpenFilterFile(QString::fromStdString(filter)); });
    };
    OpenWatched(WriteBitmap("page.bmp", 400, 300));

    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->FilterFile(), QFileInfo(QString::fromStdString(filter)).absoluteFilePath());
    EXPECT_EQ(Protokol->EntryCount(), 2u);
    EXPECT_TRUE(On(TControlId::Toolapply)) << "the filter can be applied to the new picture";
}

} // namespace
