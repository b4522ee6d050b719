#include "texteditor/TextExportDialogs.h"

#include "model/AppFont.h"
#include "model/TypeScale.h"
#include "platform/AlertSetup.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A message, an informative text, an optional field and buttons in the given order. Returns the
// index of the button pressed, -1 when the dialog was closed otherwise.
int runDialog(QWidget *parent, const QString &message, const QString &informative, const QStringList &buttons,
              QLineEdit *field)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(message);
    auto *column = new QVBoxLayout(&dialog);
    column->setContentsMargins(20, 18, 20, 16);
    column->setSpacing(10);
    auto *title = new QLabel(message, &dialog);
    title->setFont(AppFont::font(TypeScale::heading, QFont::Bold));
    column->addWidget(title);
    auto *text = new QLabel(informative, &dialog);
    text->setFont(AppFont::font(TypeScale::body));
    text->setWordWrap(true);
    column->addWidget(text);
    if (field) {
        field->setParent(&dialog);
        field->setFixedSize(320, 28);
        column->addWidget(field);
    }
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    int chosen = -1;
    for (int index = 0; index < buttons.size(); ++index) {
        auto *button = new QPushButton(buttons[index], &dialog);
        button->setObjectName(QStringLiteral("dialogButton%1").arg(index));
        button->setAutoDefault(index == 0);
        button->setDefault(index == 0);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &chosen, index] {
            chosen = index;
            dialog.accept();
        });
        row->addWidget(button);
    }
    column->addLayout(row);
    AlertSetup::fitWidth(dialog, 360);
    dialog.exec();
    if (field)
        field->setParent(nullptr);
    return chosen;
}

} // namespace

TextExportDialogs::Scope ModalTextExportDialogs::askScope(const QString &dialogTitle, QWidget *parent)
{
    const int chosen = runDialog(
        parent, dialogTitle, QStringLiteral("请选择导出全部内容，或只导出修改文案这一页。"),
        { QStringLiteral("导出全部内容"), QStringLiteral("仅导出修改文案页"), QStringLiteral("取消") }, nullptr);
    if (chosen == 0)
        return Scope::Full;
    if (chosen == 1)
        return Scope::EditedPage;
    return Scope::Cancel;
}

std::optional<QString> ModalTextExportDialogs::askTitle(const QString &confirmTitle, const QString &defaultTitle,
                                                        QWidget *parent)
{
    QLineEdit field;
    field.setText(defaultTitle);
    field.setPlaceholderText(defaultTitle);
    const int chosen = runDialog(parent, QStringLiteral("导出标题"), QStringLiteral("请输入导出页面顶部显示的标题。"),
                                 { confirmTitle, QStringLiteral("取消") }, &field);
    if (chosen != 0)
        return std::nullopt;
    return field.text();
}
