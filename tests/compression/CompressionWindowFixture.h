#pragma once

#include "CompressionTestSupport.h"
#include "FakeCompressionChooser.h"
#include "shell/ImageCompressionHookup.h"
#include "shell/ShellWindowFixture.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <functional>

using TestSupport::waitUntil;

// The real window with the compression hookup and its session over scripted panels; the temporary
// folder (where crops go) and the home folder are fresh for every test.
class CompressionWindowTest : public ShellWindowTest {
protected:
    void SetUp() override
    {
        m_temporaryHome.emplace(home.path());
        ShellWindowTest::SetUp();
        auto fake = std::make_unique<FakeCompressionChooser>();
        chooser = fake.get();
        hookup = new ImageCompressionHookup(view(), std::move(fake));
        hookup->install(view().hooks());
        session = &hookup->session();
        view().reloadWorkspace();
    }

    void TearDown() override
    {
        ShellWindowTest::TearDown();
        m_temporaryHome.reset();
    }

    void add(const QStringList &paths)
    {
        session->addCompressionSources(paths);
        ASSERT_TRUE(waitUntil([this] { return !session->isAddingSources(); }));
    }

    bool waitForBatch()
    {
        return waitUntil([this] { return !session->isCompressingImages(); });
    }

    QString image(const QString &name, int width, int height, const char *format = "JPEG")
    {
        return CompressionTest::writePhoto(files.path(), name, width, height, format);
    }
    QString gif(const QString &name) { return CompressionTest::writeAnimation(files.path(), name); }

    QString status() { return model().statusMessage(); }
    // The error on the model, or the last one the window's alert has shown (and cleared).
    QString error()
    {
        if (model().errorMessage())
            return *model().errorMessage();
        return dialogs->errors.isEmpty() ? QString() : dialogs->errors.constLast();
    }
    QStringList names() const
    {
        QStringList out;
        for (const ImageCompressionSource &source : session->compressionSources())
            out << source.fileName;
        return out;
    }

    CompressionTest::ScopedTempFolder temp;
    QTemporaryDir home;
    QTemporaryDir files;
    QTemporaryDir output;
    ImageCompressionHookup *hookup = nullptr;
    ImageCompressionSession *session = nullptr;
    FakeCompressionChooser *chooser = nullptr;

private:
    std::optional<TestSupport::TemporaryHome> m_temporaryHome;
};
