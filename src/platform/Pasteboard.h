#pragma once

#include <QString>

// The system pasteboard, reduced to what the program puts on it: one plain text. Operations write
// through Pasteboard::current(), which is the system clipboard unless another pasteboard was
// installed (tests install one that records what it is given, so they need no display).
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Replaces whatever the pasteboard held with `text` as plain text.
    virtual void setText(const QString &text) = 0;

    static Pasteboard &current();
    // Makes `pasteboard` the current one (not owned; it must outlive its installation);
    // nullptr goes back to the system clipboard.
    static void install(Pasteboard *pasteboard);
};
