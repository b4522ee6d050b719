#include "shell/ContentView.h"
#include "shell/ShellHooks.h"

// The single place where workspaces join the window. A workspace adds one line that fills its
// slots of view.hooks() (see ShellHooks.h); the window works, with those features absent, while a
// slot is empty.
void installWorkspaceHooks(ContentView &view)
{
    (void)view;
}
