// A new document, however it arrives, opens at its first line in both panes.

#include "TextEditorWindowFixture.h"

#include "shell/OpenProjectBridge.h"
#include "texteditor/SurfaceButton.h"
#include "texteditor/SyncedOriginalTextView.h"

#include <QScrollBar>

namespace {

QString numberedLines(int count, const QString &word)
{
    QStringList lines;
    for (int index = 1; index <= count; ++index)
        lines << QStringLiteral("第 %1 行%2：这一行写得足够长，窄窗口里也会折成两行显示。").arg(index).arg(word);
    return lines.join(u'\n');
}

QString writeText(const QString &path, const QString &text)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return path;
}

class TextPanesOpenAtTopTest : public TextEditorWindowTest,
                               public ::testing::WithParamInterface<std::tuple<QSize, int>> {
protected:
    QTextEdit *originalPane() { return surface()->originalView(); }

    // Both panes at the top with the caret at the start, once the window has settled.
    ::testing::AssertionResult atTop()
    {
        ShellTest::settle();
        ShellTest::waitUntil([this] {
            return surface() && textView()->verticalScrollBar()->value() == 0
                && originalPane()->verticalScrollBar()->value() == 0;
        });
        if (!surface())
            return ::testing::AssertionFailure() << "no text surface";
        const int edited = textView()->verticalScrollBar()->value();
        const int original = originalPane()->verticalScrollBar()->value();
        const int caret = textView()->textCursor().position();
        const int originalCaret = originalPane()->textCursor().position();
        if (edited != 0 || original != 0 || caret != 0 || originalCaret != 0)
            return ::testing::AssertionFailure() << "edited scroll " << edited << " of "
                                                 << textView()->verticalScrollBar()->maximum() << ", original scroll "
                                                 << original << ", caret " << caret << ", original caret "
                                                 << originalCaret;
        return ::testing::AssertionSuccess();
    }

    // Scrolls both panes away and puts the caret at the end, as reading the last document would.
    void scrollAway()
    {
        QTextCursor cursor = textView()->textCursor();
        cursor.movePosition(QTextCursor::End);
        textView()->setTextCursor(cursor);
        textView()->verticalScrollBar()->setValue(textView()->verticalScrollBar()->maximum());
        originalPane()->verticalScrollBar()->setValue(originalPane()->verticalScrollBar()->maximum());
        ShellTest::settle();
        ASSERT_GT(textView()->verticalScrollBar()->value(), 0);
    }

    QString project(const QString &name, const QString &text)
    {
        const QString path = directory.filePath(name);
        model().setTextComparison(name + QStringLiteral(".txt"), text);
        EXPECT_TRUE(model().saveProject(path));
        return path;
    }
};

} // namespace

TEST_P(TextPanesOpenAtTopTest, UploadProjectOpenAndHandOverStartAtTheFirstLine)
{
    const auto [size, lineCount] = GetParam();
    // The projects are written first; the window then starts without a document.
    const QString first = project(QStringLiteral("第一.kivo"), numberedLines(lineCount, QStringLiteral("甲")));
    const QString second = project(QStringLiteral("第二.kivo"), numberedLines(lineCount, QStringLiteral("乙")));
    model().setProjectURL(std::nullopt);
    model().restoreTextComparisonFromProject(std::nullopt);

    window->resize(size);
    window->show();
    QApplication::setActiveWindow(window.get());
    ShellTest::settle();

    // 上传原文 into a fresh window.
    panels->sourceAnswers.push_back(
        writeText(directory.filePath(QStringLiteral("原文.txt")), numberedLines(lineCount, QStringLiteral("丙"))));
    view().hooks().presentTextImportPanel();
    ASSERT_TRUE(surface());
    EXPECT_TRUE(atTop()) << "after the upload into a fresh window";

    // Another upload over a document scrolled to its end.
    scrollAway();
    panels->sourceAnswers.push_back(
        writeText(directory.filePath(QStringLiteral("再传.txt")), numberedLines(lineCount, QStringLiteral("丁"))));
    click(surface()->uploadButton(), QPoint(10, 10));
    EXPECT_TRUE(atTop()) << "after an upload over a scrolled document";

    // 打开项目 from the panel.
    scrollAway();
    panels->openAnswers.push_back(first);
    view().hooks().presentOpenProjectPanel();
    ASSERT_EQ(model().projectURL(), first);
    EXPECT_TRUE(atTop()) << "after a project open";

    // A project handed over by a second launch.
    scrollAway();
    view().openProjectBridge().handleOpenDocuments({ second }, directory.path());
    ASSERT_TRUE(ShellTest::waitUntil([&] { return model().projectURL() == second; }));
    EXPECT_TRUE(atTop()) << "after a hand-over";
    shot(QStringLiteral("text-opened-%1x%2-%3-lines").arg(size.width()).arg(size.height()).arg(lineCount));
}

INSTANTIATE_TEST_SUITE_P(WindowSizesAndLengths, TextPanesOpenAtTopTest,
                         ::testing::Combine(::testing::Values(QSize(1080, 680), QSize(1280, 800)),
                                            ::testing::Values(200, 8000)));
