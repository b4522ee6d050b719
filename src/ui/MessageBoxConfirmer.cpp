#include "ui/MessageBoxConfirmer.h"

#include "platform/AlertSetup.h"

#include <QMessageBox>
#include <QPushButton>

bool MessageBoxConfirmer::confirm(const ConfirmationRequest &request)
{
    QMessageBox box(m_parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(QMessageBox::Warning);
    box.setText(request.message);
    box.setInformativeText(request.informativeText);
    // Both as action buttons, so no desktop style reorders them: the confirming one comes first.
    QPushButton *confirm = box.addButton(request.confirmTitle, QMessageBox::ActionRole);
    QPushButton *cancel = box.addButton(QStringLiteral("取消"), QMessageBox::ActionRole);
    box.setDefaultButton(confirm);
    box.setEscapeButton(cancel);
    AlertSetup::fitWidth(box);
    box.exec();
    return box.clickedButton() == confirm;
}
