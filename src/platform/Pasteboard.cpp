#include "platform/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

class SystemPasteboard final : public Pasteboard {
public:
    void setText(const QString &text) override
    {
        // Without a GUI application there is no clipboard to write to.
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr)
            return;
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(text);
    }
};

Pasteboard *installedPasteboard = nullptr;

} // namespace

Pasteboard &Pasteboard::current()
{
    static SystemPasteboard system;
    return installedPasteboard != nullptr ? *installedPasteboard : system;
}

void Pasteboard::install(Pasteboard *pasteboard)
{
    installedPasteboard = pasteboard;
}
