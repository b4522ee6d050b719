#include "PanelsFixture.h"

#include "canvas/InlineTextPanel.h"

#include <QApplication>
#include "PanelsTestInput.h"
#include <QVBoxLayout>

namespace {

using PanelsTestInput::mouseClick;
void click(QWidget *w) { mouseClick(w); }

class InlineEditing : public PanelsFixture {
protected:
    QUuid arrowID, textID;
    QWidget window;
    InlineTextPanel *panel = nullptr;

    void SetUp() override
    {
        addImages(1);
        const auto &list = place({annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.3, 0.3}, "标注文字", 1),
                                  annotation(AnnotationKind::Text, {0.5, 0.5}, {0.5, 0.5}, "T", 2)});
        arrowID = list[0].id;
        textID = list[1].id;
        window.resize(600, 400);
        panel = new InlineTextPanel(model, &window);
        panel->hide();
        ASSERT_TRUE(PanelsTestInput::showActive(window));
    }

    // What the view-model operations do when an edit starts; the canvas then shows the panel.
    void startEditing(const QUuid &id)
    {
        model.setSelectedAnnotationID(id);
        model.setSelectedAnnotationIDs({id});
        model.setEditingTextAnnotationID(id);
        model.setPendingTextFocusID(id);
        panel->sync(current(id), {600, 400});
        panel->show();
    }
};

} // namespace

TEST(InlineConfirmKey, OnlyAltAloneWithReturnOrEnter)
{
    EXPECT_TRUE(InlineLabelTextEdit::isConfirmKey(Qt::Key_Return, Qt::AltModifier));
    EXPECT_TRUE(InlineLabelTextEdit::isConfirmKey(Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier));
    EXPECT_FALSE(InlineLabelTextEdit::isConfirmKey(Qt::Key_Return, Qt::NoModifier));
    EXPECT_FALSE(InlineLabelTextEdit::isConfirmKey(Qt::Key_Return, Qt::AltModifier | Qt::ShiftModifier));
    EXPECT_FALSE(InlineLabelTextEdit::isConfirmKey(Qt::Key_Return, Qt::AltModifier | Qt::ControlModifier));
    EXPECT_FALSE(InlineLabelTextEdit::isConfirmKey(Qt::Key_A, Qt::AltModifier));
}

TEST_F(InlineEditing, FocusArrivesWithoutAClickAndTypingIsOneUndoStep)
{
    startEditing(arrowID);
    EXPECT_FALSE(panel->isTextFocused());
    ASSERT_TRUE(PanelsTestInput::waitUntil([&] { return panel->isTextFocused(); }));
    EXPECT_FALSE(model.pendingTextFocusID());
    EXPECT_EQ(panel->textEdit()->toPlainText(), "标注文字");

    PanelsTestInput::keyClicks(panel->textEdit(), "ab");
    PanelsTestInput::keyClick(panel->textEdit(), Qt::Key_Return, Qt::NoModifier, "\r");
    PanelsTestInput::keyClicks(panel->textEdit(), "cd");
    EXPECT_EQ(current(arrowID).text, "标注文字ab\ncd");
    EXPECT_EQ(current(arrowID).sequenceNumber, 1);
    EXPECT_EQ(undoDepth(), 1);

    // Alt+Return confirms; the annotation stays selected and the field lets the focus go.
    PanelsTestInput::keyClick(panel->textEdit(), Qt::Key_Return, Qt::AltModifier, "\r");
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(model.statusMessage(), "文字已确认");
    EXPECT_EQ(model.selectedAnnotationID(), arrowID);
    EXPECT_FALSE(panel->isTextFocused());
    EXPECT_EQ(current(arrowID).text, "标注文字ab\ncd");

    // One undo takes all the typing back.
    model.undo();
    EXPECT_EQ(current(arrowID).text, "标注文字");
    model.redo();

    // Editing again is a new session with its own step.
    startEditing(arrowID);
    ASSERT_TRUE(PanelsTestInput::waitUntil([&] { return panel->isTextFocused(); }));
    PanelsTestInput::keyClick(panel->textEdit(), Qt::Key_Backspace);
    EXPECT_EQ(current(arrowID).text, "标注文字ab\nc");
    EXPECT_EQ(undoDepth(), 2);
    // Clearing the text drops the arrow's number.
    panel->textEdit()->setPlainText(QString());
    EXPECT_FALSE(current(arrowID).sequenceNumber);
    EXPECT_EQ(undoDepth(), 2);
}

TEST_F(InlineEditing, SelectingAnotherAnnotationTakesTheFocusAway)
{
    startEditing(arrowID);
    ASSERT_TRUE(PanelsTestInput::waitUntil([&] { return panel->isTextFocused(); }));
    // What the selection operations do: another annotation, editing over.
    model.setEditingTextAnnotationID(std::nullopt);
    model.setSelectedAnnotationID(textID);
    EXPECT_FALSE(panel->isTextFocused());
    // Alt+Return with no edit open is still consumed and does nothing.
    model.setStatusMessage("x");
    PanelsTestInput::keyClick(panel->textEdit(), Qt::Key_Return, Qt::AltModifier, "\r");
    EXPECT_EQ(model.statusMessage(), "x");
    EXPECT_EQ(panel->textEdit()->toPlainText(), "标注文字");
}

TEST_F(InlineEditing, PendingFocusForAnotherAnnotationOrNoneIsIgnored)
{
    model.setSelectedAnnotationID(textID);
    model.setPendingTextFocusID(arrowID);
    panel->sync(current(arrowID), {600, 400});
    panel->show();
    PanelsTestInput::pump(20);
    EXPECT_FALSE(panel->isTextFocused());
    EXPECT_EQ(model.pendingTextFocusID(), arrowID);
    model.setSelectedAnnotationID(std::nullopt);
    model.setPendingTextFocusID(std::nullopt);
    PanelsTestInput::pump(20);
    EXPECT_FALSE(panel->isTextFocused());
}

TEST_F(InlineEditing, ConfirmButtonAndSwatches)
{
    startEditing(textID);
    ASSERT_TRUE(PanelsTestInput::waitUntil([&] { return panel->isTextFocused(); }));
    ASSERT_EQ(panel->swatches().size(), 4u);
    EXPECT_EQ(panel->swatches()[1]->toolTip(), "把当前标注颜色改为黄色");
    click(panel->swatches()[1]);
    EXPECT_EQ(current(textID).colorHex, "#F59E0B");
    // The swatch leaves the focus in the field.
    EXPECT_TRUE(panel->isTextFocused());
    click(panel->confirmButton());
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(model.selectedAnnotationID(), textID);
}
