#include "ShellInput.h"
#include "ShellTestSupport.h"
#include "ShellWindowFixture.h"

#include "shell/AppUpdateManager.h"
#include "shell/HeaderToolbarOrderEditor.h"
#include "shell/OpenProjectBridge.h"
#include "shell/ScreenCapturePermission.h"
#include "support/HeldWorkers.h"
#include "support/JpegTestFiles.h"

#include <QAbstractButton>

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QThreadPool>
#include <QTimer>

namespace {

// Records what the desktop was asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

QByteArray pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A picture whose JPEG data is spread over the whole file (a flat one would be almost all headers).
QImage lifecycleNoisyPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int noise = int((unsigned(x) * 7919u + unsigned(y) * 104729u) % 61u);
            image.setPixel(x, y, qRgb((x + noise) % 256, (y * 3 + noise) % 256, (x + y) % 256));
        }
    }
    return image;
}

} // namespace

// ---- Quit ---------------------------------------------------------------------------------------

TEST_F(ShellWindowTest, ClosingWithNothingQuitsAtOnceAndLetsTheNextCloseThrough)
{
    showWindow();
    EXPECT_FALSE(window->close()); // refused; quitting goes through the application
    EXPECT_EQ(quitRequests, 1);
    EXPECT_TRUE(view().isTerminating());
    EXPECT_TRUE(dialogs->quitPrompts.empty());
    EXPECT_TRUE(window->close());
}

TEST_F(ShellWindowTest, ImagesAskBeforeQuittingAndOnlyAFullSaveQuits)
{
    QStringList toWrite;
    bool failWith = false;
    view().hooks().saveSelectedImagesToDesktop = [&](MarkupViewModel &model, ImageExportFormat, double) {
        if (failWith)
            model.setErrorMessage(QStringLiteral("无法写入图片"));
        return toWrite;
    };
    addImages(2);
    addPair(); // pairs do not skip the question while images exist
    model().setSelectedImageItemIDs({model().items()[0].id, model().items()[1].id});
    showWindow();

    dialogs->quitAnswer = QuitAnswer::Cancel;
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs->quitPrompts, (std::vector<QuitPrompt>{QuitPrompt::ImageSave, QuitPrompt::ImageSave}));
    EXPECT_EQ(dialogs->questionCauses, (std::vector<SaveQuestionCause>{SaveQuestionCause::Quit, SaveQuestionCause::Quit}));
    EXPECT_EQ(quitRequests, 0);

    // Nothing written, one of two written, or all written with an error: the window stays.
    dialogs->quitAnswer = QuitAnswer::Save;
    EXPECT_FALSE(window->close());
    toWrite = {QStringLiteral("/tmp/a.png")};
    EXPECT_FALSE(window->close());
    toWrite = {QStringLiteral("/tmp/a.png"), QStringLiteral("/tmp/b.png")};
    failWith = true;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(quitRequests, 0);
    EXPECT_FALSE(view().isTerminating());

    failWith = false;
    model().setErrorMessage(std::nullopt);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(quitRequests, 1);
    EXPECT_TRUE(view().isTerminating());
}

TEST_F(ShellWindowTest, TheQuitSaveTakesAnAnnotatedImageThatIsNotSelected)
{
    // Image 1 is drawn on, image 2 was imported after it and is the one selected: saving only the
    // selection would quit with image 1's annotations written nowhere.
    std::vector<QSet<QUuid>> savedSelections;
    view().hooks().saveSelectedImagesToDesktop = [&](MarkupViewModel &model, ImageExportFormat, double) {
        savedSelections.push_back(model.effectiveSelectedImageItemIDs());
        QStringList written;
        for (qsizetype index = 0; index < savedSelections.back().size(); ++index)
            written << QStringLiteral("/tmp/%1.png").arg(index);
        return written;
    };
    addImages(3);
    std::vector<ImageMarkupItem> items = model().items();
    items[0].annotations = {MarkupAnnotation::defaultText(UnitPoint2D(0.5, 0.5), QStringLiteral("门"), 1)};
    model().setItems(items);
    model().setSelectedItemID(items[1].id);
    showWindow();

    dialogs->quitAnswer = QuitAnswer::Save;
    EXPECT_FALSE(window->close());
    ASSERT_EQ(savedSelections.size(), 1u);
    EXPECT_EQ(savedSelections.front(), (QSet<QUuid>{items[0].id, items[1].id}));
    EXPECT_EQ(quitRequests, 1);
}

TEST_F(ShellWindowTest, AnErrorShownBeforeTheQuitSaveDoesNotKeepTheWindow)
{
    // The save reports only its own failures: an alert left from earlier work does not count,
    // while a new failure, even one that replaces it, does.
    QString failWith;
    view().hooks().saveSelectedImagesToDesktop = [&](MarkupViewModel &model, ImageExportFormat, double) {
        if (!failWith.isEmpty())
            model.setErrorMessage(failWith);
        return QStringList{QStringLiteral("/tmp/a.png")};
    };
    addImages(1);
    showWindow();
    dialogs->quitAnswer = QuitAnswer::Save;
    model().setErrorMessage(QStringLiteral("较早的错误"));
    failWith = QStringLiteral("无法写入图片");
    EXPECT_FALSE(window->close());
    EXPECT_EQ(quitRequests, 0);

    failWith.clear();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(quitRequests, 1);
}

TEST_F(ShellWindowTest, DontSaveQuitsAndPairsAloneQuitWithoutAsking)
{
    addImages(1);
    showWindow();
    dialogs->quitAnswer = QuitAnswer::DontSave;
    window->close();
    EXPECT_EQ(quitRequests, 1);

    makeWindow();
    addPair();
    showWindow();
    window->close();
    EXPECT_TRUE(dialogs->quitPrompts.empty());
    EXPECT_EQ(quitRequests, 2);
}

TEST_F(ShellWindowTest, AnEditedTextAsksForTheProjectAndQuitsOnlyAfterASave)
{
    int panels = 0;
    bool panelSaves = false;
    view().hooks().presentSaveProjectPanel = [&] {
        ++panels;
        return panelSaves; // cancelled, or written
    };
    model().setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
    model().updateEditedComparisonText(QStringLiteral("原文改过"));
    showWindow();

    dialogs->quitAnswer = QuitAnswer::Save;
    window->close();
    EXPECT_EQ(dialogs->quitPrompts, (std::vector<QuitPrompt>{QuitPrompt::ProjectSave}));
    EXPECT_EQ(panels, 1);
    EXPECT_EQ(quitRequests, 0);
    panelSaves = true;
    window->close();
    EXPECT_EQ(quitRequests, 1);
}

// A text kept in its project file is not asked about: its last edit, still waiting for the
// autosave, is written before the program quits.
TEST_F(ShellWindowTest, ATextInItsProjectFileQuitsWithItsLastEditWritten)
{
    const QString project = directory.filePath(QStringLiteral("p.kivo"));
    model().setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
    ASSERT_TRUE(model().saveProject(project));
    model().autosaveTimer()->setInterval(3600 * 1000); // due only when the quit writes it
    model().updateEditedComparisonText(QStringLiteral("最后的修改"));
    showWindow();
    ASSERT_TRUE(model().autosaveTimer()->isActive());

    window->close();
    EXPECT_TRUE(dialogs->quitPrompts.empty());
    EXPECT_EQ(quitRequests, 1);
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto decoded = MarkupProjectDocument::decode(file.readAll());
    ASSERT_TRUE(std::holds_alternative<MarkupProjectDocument>(decoded));
    EXPECT_EQ(std::get<MarkupProjectDocument>(decoded).textComparison->editedText, QStringLiteral("最后的修改"));
}

// The autosave of the last edit, already on its way to the file off the window's thread, is
// waited for: the program ends once it is written, and a write that fails keeps the window with
// its error.
TEST_F(ShellWindowTest, AQuitEndsTheProgramOnlyOnceTheProjectWriteUnderWayEnded)
{
    const QString project = directory.filePath(QStringLiteral("p.kivo"));
    model().setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
    ASSERT_TRUE(model().saveProject(project));
    auto writer = std::make_shared<HeldComparisonExecutor>();
    model().setProjectWriter(writer);
    const auto editAndAutosave = [&](const QString &text) {
        model().updateEditedComparisonText(text);
        QTimer *timer = model().autosaveTimer();
        timer->setInterval(0);
        for (int turn = 0; turn < 1000 && timer->isActive(); ++turn)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        timer->setInterval(500);
    };
    showWindow();

    editAndAutosave(QStringLiteral("最后的修改"));
    ASSERT_EQ(writer->held(), 1u);
    window->close();
    EXPECT_EQ(quitRequests, 0) << "ended before the last edit was written";
    writer->run(0);
    EXPECT_EQ(quitRequests, 1);
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto decoded = MarkupProjectDocument::decode(file.readAll());
    ASSERT_TRUE(std::holds_alternative<MarkupProjectDocument>(decoded));
    EXPECT_EQ(std::get<MarkupProjectDocument>(decoded).textComparison->editedText, QStringLiteral("最后的修改"));

    makeWindow();
    model().setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
    ASSERT_TRUE(model().saveProject(project));
    model().setProjectWriter(writer);
    showWindow();
    ASSERT_TRUE(QFile::remove(project));
    ASSERT_TRUE(QDir().mkpath(project)); // a folder where the file goes
    editAndAutosave(QStringLiteral("写不进去的修改"));
    ASSERT_EQ(writer->held(), 1u);
    window->close();
    writer->run(0);
    EXPECT_EQ(quitRequests, 1);
    EXPECT_TRUE(model().errorMessage().has_value());
    EXPECT_TRUE(window->isVisible());
}

// ---- Drops --------------------------------------------------------------------------------------

TEST_F(ShellWindowTest, DropsRouteTheFirstFileOrPictureAfterAQueuedHop)
{
    QStringList imported, compressed, videos, pictures;
    std::vector<bool> replacing;
    auto &hooks = view().hooks();
    hooks.importImages = [&](MarkupViewModel &, const QStringList &paths, bool replace) {
        imported += paths;
        replacing.push_back(replace);
    };
    hooks.addCompressionSources = [&](const QStringList &paths) { compressed += paths; };
    hooks.importVideo = [&](const QString &path) { videos.append(path); };
    hooks.importImage = [&](MarkupViewModel &, const QImage &image, const QString &name) {
        pictures.append(name + QStringLiteral(" %1x%2").arg(image.width()).arg(image.height()));
    };
    showWindow();
    QWidget *area = view().workspaceAreaWidget();

    auto drop = [&](QMimeData &mime) {
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &enter);
        const bool hovering = view().isDropTargeted() && view().dropHighlightWidget()->isVisible();
        QDropEvent dropEvent(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &dropEvent);
        EXPECT_FALSE(view().isDropTargeted());
        EXPECT_FALSE(view().dropHighlightWidget()->isVisible());
        ShellTest::settle();
        return hovering && dropEvent.isAccepted();
    };

    // Several files: only the first local one counts; the launcher switches to image markup.
    QMimeData files;
    files.setUrls({QUrl(QStringLiteral("https://example.invalid/x.png")), QUrl::fromLocalFile("/tmp/one.png"),
                   QUrl::fromLocalFile("/tmp/two.png")});
    EXPECT_TRUE(drop(files));
    EXPECT_EQ(imported, (QStringList{"/tmp/one.png"}));
    EXPECT_EQ(replacing, (std::vector<bool>{true}));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);

    // Compression keeps image files but a video goes to the video workspace from anywhere. The
    // drop resets the pan to exactly zero, not to an invalid size.
    view().setWorkspaceMode(WorkspaceMode::Compression);
    view().setPanOffset(QSizeF(6, -3));
    QMimeData png;
    png.setUrls({QUrl::fromLocalFile("/tmp/three.png")});
    EXPECT_TRUE(drop(png));
    EXPECT_EQ(compressed, (QStringList{"/tmp/three.png"}));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Compression);
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    QMimeData movie;
    movie.setUrls({QUrl::fromLocalFile("/tmp/clip.MOV")});
    EXPECT_TRUE(drop(movie));
    EXPECT_EQ(videos, (QStringList{"/tmp/clip.MOV"}));

    // Picture data: switches to image markup from compression and imports as "拖入图片".
    view().setPanOffset(QSizeF(4, 4));
    QMimeData picture;
    picture.setData(QStringLiteral("image/png"), pngBytes(12, 9));
    EXPECT_TRUE(drop(picture));
    const auto decoded = [&] { return !view().isDecodingDroppedPicture(); };
    ASSERT_TRUE(ShellTest::waitUntil(decoded));
    EXPECT_EQ(pictures, (QStringList{"拖入图片 12x9"}));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));

    // Undecodable picture bytes: accepted, then nothing happens at all.
    view().setWorkspaceMode(WorkspaceMode::Compression);
    QMimeData junk;
    junk.setData(QStringLiteral("image/png"), QByteArray("not a picture"));
    drop(junk);
    ASSERT_TRUE(ShellTest::waitUntil(decoded));
    EXPECT_EQ(pictures.size(), 1);
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Compression);

    // Movie data without a file, and plain text, are not taken; the hover flag still clears.
    QMimeData movieData;
    movieData.setData(QStringLiteral("video/mp4"), QByteArray("...."));
    EXPECT_FALSE(drop(movieData));
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    EXPECT_FALSE(view().handleDrop(&text));
    EXPECT_FALSE(view().handleDrop(nullptr));

    // A non-empty list is extended, not replaced.
    model().setItems({item(QStringLiteral("a.png"))});
    view().setWorkspaceMode(WorkspaceMode::TextComparison);
    QMimeData another;
    another.setUrls({QUrl::fromLocalFile("/tmp/four.png")});
    drop(another);
    EXPECT_EQ(replacing, (std::vector<bool>{true, false}));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
}

// Dropped bytes get the decode imported files get, off the window's thread: a JPEG whose data
// ends a sixth of the way through is no picture (a lenient reader fills the rest with grey), a whole
// one comes upright at its size, and drops are imported in the order they came.
TEST_F(ShellWindowTest, DroppedPictureBytesAreDecodedAsFilesAreAndInOrder)
{
    QStringList pictures;
    view().hooks().importImage = [&](MarkupViewModel &, const QImage &image, const QString &name) {
        pictures.append(name + QStringLiteral(" %1x%2").arg(image.width()).arg(image.height()));
    };
    showWindow();
    JpegTestFiles::Layout sideways;
    sideways.app1 = JpegTestFiles::exifOrientation(6);
    const QByteArray whole = JpegTestFiles::encoded(lifecycleNoisyPicture(640, 480), sideways);
    const QByteArray cut = JpegTestFiles::withScanDataCut(whole, 1.0 / 6);
    const auto decoded = [&] { return !view().isDecodingDroppedPicture(); };

    view().setWorkspaceMode(WorkspaceMode::Compression);
    view().handleDroppedImageData(cut);
    ASSERT_TRUE(ShellTest::waitUntil(decoded));
    EXPECT_TRUE(pictures.isEmpty());
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Compression);

    view().handleDroppedImageData(whole);
    view().handleDroppedImageData(cut);
    view().handleDroppedImageData(pngBytes(3, 2));
    ASSERT_TRUE(ShellTest::waitUntil(decoded));
    EXPECT_EQ(pictures, (QStringList{"拖入图片 480x640", "拖入图片 3x2"}));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
}

// A dropped GIF is sized by its screen, however small its first frame (whose size Qt's reader gives
// for the picture's): one beyond the pixel cap is refused as too large before anything is decoded.
TEST_F(ShellWindowTest, DroppedGifIsSizedByItsScreen)
{
    QStringList pictures;
    view().hooks().importImage = [&](MarkupViewModel &, const QImage &, const QString &name) { pictures.append(name); };
    showWindow();
    static const char screen[] = "GIF89a\x20\x4E\x20\x4E\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;";
    view().handleDroppedImageData(QByteArray(screen, sizeof screen - 1));
    EXPECT_FALSE(view().isDecodingDroppedPicture());
    ASSERT_TRUE(ShellTest::waitUntil([&] { return !dialogs->errors.isEmpty(); }));
    EXPECT_EQ(dialogs->errors, (QStringList{"图片过大，无法导入"}));
    EXPECT_TRUE(pictures.isEmpty());
}

// A window closed while its dropped picture is still being decoded is never called back.
TEST_F(ShellWindowTest, ClosingTheWindowDuringADroppedPictureDecodeTouchesNothing)
{
    QStringList pictures;
    view().hooks().importImage = [&](MarkupViewModel &, const QImage &, const QString &name) { pictures.append(name); };
    showWindow();
    {
        HeldWorkers held; // the decode cannot start before the window is gone
        ASSERT_TRUE(held.holding());
        view().handleDroppedImageData(pngBytes(12, 9));
        ShellTest::settle();
        EXPECT_TRUE(view().isDecodingDroppedPicture());
        window.reset();
        EXPECT_TRUE(held.release());
    }
    QThreadPool::globalInstance()->waitForDone();
    ShellTest::settle();
    EXPECT_TRUE(pictures.isEmpty());
}

// ---- Alerts -------------------------------------------------------------------------------------

TEST_F(ShellWindowTest, ErrorAlertShowsQueuedAndClearsSoTheNextErrorShowsAgain)
{
    showWindow();
    model().setErrorMessage(QStringLiteral("图片数据无法解析"));
    EXPECT_TRUE(dialogs->errors.isEmpty()); // never inside the model's signal
    ASSERT_TRUE(ShellTest::waitUntil([&] { return !dialogs->errors.isEmpty(); }));
    EXPECT_EQ(dialogs->errors, (QStringList{"图片数据无法解析"}));
    EXPECT_EQ(model().errorMessage(), std::nullopt);

    // A second error while the first alert is up gets its own alert afterwards.
    dialogs->whileErrorShown = [&] {
        dialogs->whileErrorShown = nullptr;
        model().setErrorMessage(QStringLiteral("第二个错误"));
    };
    model().setErrorMessage(QStringLiteral("第一个错误"));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return dialogs->errors.size() == 3; }));
    EXPECT_EQ(dialogs->errors.mid(1), (QStringList{"第一个错误", "第二个错误"}));
    EXPECT_EQ(model().errorMessage(), std::nullopt);

    model().setErrorMessage(QString());
    ASSERT_TRUE(ShellTest::waitUntil([&] { return dialogs->errors.size() == 4; }));
    EXPECT_EQ(dialogs->errors.last(), "未知错误");
}

TEST_F(ShellWindowTest, UpdateAlertRisesOncePerReleaseAndOpensOnlyWebAddresses)
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
    showWindow();
    AppUpdateManager &manager = view().updateManager();

    AppUpdateInfo release;
    release.version = QStringLiteral("9.0.0");
    release.build = 3;
    release.downloadURL = QUrl(QStringLiteral("https://downloads.example.invalid/kivora.deb"));
    release.releaseNotes = {QStringLiteral("更快")};
    dialogs->downloadUpdate = true;
    manager.handleUpdateInfo(release, true);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return dialogs->updateMessages.size() == 1; }));
    EXPECT_EQ(dialogs->updateMessages.front(), "当前版本 v" + manager.currentVersion() + "，最新版本 v9.0.0。\n\n· 更快");
    EXPECT_EQ(recorder.opened, (QList<QUrl>{release.downloadURL}));

    // The same release again: no second alert. Gone and back: a new alert.
    manager.handleUpdateInfo(release, true);
    ShellTest::spin(80);
    EXPECT_EQ(dialogs->updateMessages.size(), 1);
    AppUpdateInfo older = release;
    older.version = QStringLiteral("0.0.1");
    manager.handleUpdateInfo(older, true);
    ShellTest::spin(50);
    AppUpdateInfo unsafe = release;
    unsafe.downloadURL = QUrl(QStringLiteral("file:///etc/passwd"));
    manager.handleUpdateInfo(unsafe, true);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return dialogs->updateMessages.size() == 2; }));
    // No address configured: a non-web download address opens nothing at all.
    EXPECT_EQ(recorder.opened.size(), 1);

    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

TEST_F(ShellWindowTest, StartupRunsOnceAndTheUnconfiguredCheckStaysSilent)
{
    showWindow();
    ASSERT_TRUE(ShellTest::waitUntil([&] { return view().screenCapturePermission().didCheck(); }));
    ShellTest::spin(50);
    EXPECT_FALSE(view().updateManager().isChecking());
    EXPECT_EQ(view().updateManager().statusMessage(), std::nullopt);
    EXPECT_EQ(model().statusMessage(), "就绪");
    EXPECT_FALSE(settings->contains(QStringLiteral("kivo.screenCapturePermissionPrompted.v1")));
    window->hide();
    window->show();
    view().runStartupTasks();
    EXPECT_EQ(model().statusMessage(), "就绪");
}

// ---- Open documents -----------------------------------------------------------------------------

TEST_F(ShellWindowTest, PendingProjectOpensOnceAndChoosesTheWorkspace)
{
    QStringList opened;
    bool succeed = true;
    // A project of one image, read without a file; the open puts its image in place.
    view().hooks().readProject = [](const QString &) {
        MarkupViewModel::ReadProject project;
        project.document.images.resize(1);
        return std::variant<MarkupViewModel::ReadProject, MarkupProjectError>(project);
    };
    view().hooks().openProject = [&](MarkupViewModel &model, const QString &path, MarkupViewModel::ReadProject) {
        opened.append(path);
        if (succeed)
            model.setItems({item(QStringLiteral("x.png"))});
        return succeed;
    };
    OpenProjectBridge &bridge = view().openProjectBridge();
    bridge.handleOpenDocuments({QStringLiteral("a.png"), QStringLiteral("first.KIVO"), QStringLiteral("second.kivo")},
                               QStringLiteral("/home/u"));
    showWindow();
    ASSERT_TRUE(ShellTest::waitUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, (QStringList{"/home/u/first.KIVO"}));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
    EXPECT_EQ(bridge.pendingProjectURL(), std::nullopt);

    // A failing open leaves the workspace alone. The image the first open brought is in no
    // project file, so the open asks first: answered 不保存.
    succeed = false;
    dialogs->quitAnswer = QuitAnswer::DontSave;
    view().setWorkspaceMode(WorkspaceMode::Compression);
    bridge.handleOpenDocuments({QStringLiteral("/tmp/broken.kivo")}, QStringLiteral("/"));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return opened.size() == 2; }));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Compression);
    ShellTest::spin(50);
    EXPECT_EQ(opened.size(), 2);
}

// ---- Header order editor -------------------------------------------------------------------------

TEST_F(ShellWindowTest, OrderEditorReordersLiveByDraggingAndResetPersists)
{
    using I = HeaderToolbarItem;
    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    showWindow();
    qobject_cast<QAbstractButton *>(view().headerToolbarOrderButton())->click();
    HeaderToolbarOrderEditor *editor = view().headerToolbarOrderEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->isWindow());
    HeaderToolbarOrderList *list = editor->list();
    EXPECT_EQ(list->order(), (std::vector<I>{I::Zoom, I::ImportImage, I::AddToComparison, I::ImageAnnotation, I::ImageExport}));
    EXPECT_EQ(HeaderToolbarOrderList::rowToolTip(I::Zoom), "缩放：调整画布显示比例，不影响最终导出尺寸");

    // Drag the first row over the second (no change), then over the third: B, A, C, …
    ShellInput::mouse(list, QEvent::MouseButtonPress, list->rowRect(0).center());
    EXPECT_EQ(list->draggingItem(), I::Zoom);
    ShellInput::mouse(list, QEvent::MouseMove, list->rowRect(1).center());
    EXPECT_EQ(list->order()[0], I::Zoom);
    ShellInput::mouse(list, QEvent::MouseMove, list->rowRect(2).center());
    EXPECT_EQ(list->order(), (std::vector<I>{I::ImportImage, I::Zoom, I::AddToComparison, I::ImageAnnotation, I::ImageExport}));
    ShellInput::mouse(list, QEvent::MouseButtonRelease, list->rowRect(2).center());
    EXPECT_EQ(list->draggingItem(), std::nullopt);
    EXPECT_EQ(model().statusMessage(), "已调整顶部按钮顺序");
    // The header behind reorders at once (the export item renders nothing without its view).
    EXPECT_EQ(view().shownHeaderItems(), (std::vector<I>{I::ImportImage, I::Zoom, I::AddToComparison}));

    // Saved at once: a new window over the same settings shows the order.
    {
        MarkupViewModel reloaded(*settings);
        EXPECT_EQ(reloaded.headerToolbarOrder(HeaderToolbarMode::ImageMarkup)[0], I::ImportImage);
    }

    qobject_cast<QAbstractButton *>(editor->resetButton())->click();
    EXPECT_EQ(model().statusMessage(), "已恢复顶部按钮默认顺序");
    EXPECT_EQ(list->order()[0], I::Zoom);
    {
        MarkupViewModel reloaded(*settings);
        EXPECT_EQ(reloaded.headerToolbarOrder(HeaderToolbarMode::ImageMarkup)[0], I::Zoom);
    }

    // Done closes the popover (queued) and clears the flag.
    qobject_cast<QAbstractButton *>(editor->doneButton())->click();
    ASSERT_TRUE(ShellTest::waitUntil([&] { return !view().isHeaderToolbarOrderEditorPresented(); }));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return view().headerToolbarOrderEditor() == nullptr; }));
}

TEST_F(ShellWindowTest, OrderEditorEditsTheCurrentModeAndClosesOnEscape)
{
    view().setWorkspaceMode(WorkspaceMode::TextComparison);
    showWindow();
    view().setHeaderToolbarOrderEditorPresented(true);
    HeaderToolbarOrderEditor *editor = view().headerToolbarOrderEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->mode(), HeaderToolbarMode::TextComparison);
    EXPECT_EQ(editor->list()->order().size(), 2u);
    ShellInput::keyClick(editor, Qt::Key_Escape);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return !view().isHeaderToolbarOrderEditorPresented(); }));

    // No order button and no editor where the header has no toolbar.
    view().setWorkspaceMode(WorkspaceMode::Launcher);
    view().setHeaderToolbarOrderEditorPresented(true);
    EXPECT_FALSE(view().isHeaderToolbarOrderEditorPresented());
}

#include "ContentViewLifecycleTest.moc"
