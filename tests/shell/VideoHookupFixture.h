#pragma once

#include "shell/ShellWindowFixture.h"
#include "shell/VideoFrameAnnotationHookup.h"
#include "support/TestSupport.h"
#include "support/VideoTestMedia.h"

#include <QDir>

#include <gtest/gtest.h>

#define REQUIRE_FFMPEG()                                                                                     \
    if (!VideoTestMedia::hasFfmpeg())                                                                        \
    GTEST_SKIP() << "the ffmpeg tool is not installed"

// Answers the clear question and the question before an annotated frame is left from a script,
// and counts them.
class ScriptedConfirmer final : public VideoFrameConfirmer {
public:
    ScriptedConfirmer(bool &answer, int &asked, FrameLeavingAnswer &frameAnswer, int &frameQuestions)
        : m_answer(answer), m_asked(asked), m_frameAnswer(frameAnswer), m_frameQuestions(frameQuestions)
    {
    }
    bool confirm(const VideoFrameConfirmation &request) override
    {
        ++m_asked;
        last = request;
        return m_answer;
    }
    FrameLeavingAnswer askToSaveFrame() override
    {
        ++m_frameQuestions;
        return m_frameAnswer;
    }
    VideoFrameConfirmation last;

private:
    bool &m_answer;
    int &m_asked;
    FrameLeavingAnswer &m_frameAnswer;
    int &m_frameQuestions;
};

class ScriptedVideoChooser final : public VideoFileChooser {
public:
    explicit ScriptedVideoChooser(QString &path) : m_path(path) {}
    std::optional<QString> chooseVideo() override
    {
        if (m_path.isEmpty())
            return std::nullopt;
        return m_path;
    }

private:
    QString &m_path;
};

// The real window with the video hookup installed, HOME (and so the Desktop) in a temporary folder.
class VideoHookupTest : public ShellWindowTest {
protected:
    void SetUp() override
    {
        temporaryHome.emplace(home.path());
        ShellWindowTest::SetUp();
        hookup = new VideoFrameAnnotationHookup(view(), makeStore());
        hookup->install(view().hooks());
        hookup->session().setConfirmer(
            std::make_unique<ScriptedConfirmer>(confirmAnswer, confirmations, frameAnswer, frameQuestions));
        hookup->session().setFileChooser(std::make_unique<ScriptedVideoChooser>(chosenPath));
        view().reloadWorkspace();
    }

    void TearDown() override
    {
        ShellWindowTest::TearDown();
        temporaryHome.reset();
    }

    // The store the hookup is built with; none: the one that decodes real files.
    virtual std::unique_ptr<VideoFrameAnnotationStore> makeStore() { return nullptr; }

    MarkupViewModel &video() { return view().videoFrameViewModel(); }
    VideoFrameAnnotationStore &store() { return hookup->session().store(); }
    QString desktop() const { return QDir(home.path()).filePath(QStringLiteral("Desktop")); }

    // Runs `action` and waits for the hookup to report its completion.
    bool finish(const std::function<void()> &action)
    {
        int finished = 0;
        const QMetaObject::Connection connection =
            QObject::connect(&hookup->session(), &VideoFrameAnnotationSession::actionFinished, [&] { ++finished; });
        action();
        const bool done = VideoTestMedia::waitUntil([&] { return finished > 0; });
        QObject::disconnect(connection);
        QCoreApplication::processEvents();
        return done;
    }

    bool importAndWait(const QString &path)
    {
        return finish([&] { hookup->session().importVideo(path); });
    }

    // The error the window showed or is about to show.
    std::optional<QString> shownError()
    {
        if (model().errorMessage())
            return model().errorMessage();
        if (!dialogs->errors.isEmpty())
            return dialogs->errors.last();
        return std::nullopt;
    }

    // A red rectangle frame over most of the picture, in unit coordinates.
    void addRectangle()
    {
        std::vector<ImageMarkupItem> items = video().items();
        ASSERT_EQ(items.size(), 1u);
        items.front().annotations.push_back(MarkupAnnotation(
            QUuid::createUuid(), AnnotationKind::Rectangle, UnitPoint2D{0.1, 0.2}, UnitPoint2D{0.9, 0.8}, QString(),
            QStringLiteral("#FF0000"), 4, 16, std::nullopt, std::nullopt, 1, std::nullopt, {}));
        video().setItems(items);
    }

    QTemporaryDir home;
    std::optional<TestSupport::TemporaryHome> temporaryHome;
    VideoFrameAnnotationHookup *hookup = nullptr;
    bool confirmAnswer = false;
    int confirmations = 0;
    FrameLeavingAnswer frameAnswer = FrameLeavingAnswer::Cancel;
    int frameQuestions = 0;
    QString chosenPath;
};
