#pragma once

// The sizes, in pixels, that the interface's text comes in, from the smallest to the largest.
// Every font of the windows takes its size from here (AppFont::font(TypeScale::body, …)), so a size
// names what it is for and the whole interface keeps to one short scale. Exports and label
// annotations size their text from the user's settings instead.
namespace TypeScale {

// Digits in small badges and counters (the shortcut badge of a tool, an annotation's number).
inline constexpr double badge = 9;
// Facts and hints beside or under a control (file sizes, the eyedropper's colour value).
inline constexpr double fine = 10;
// Names in dense list rows, and the monospace marks beside them.
inline constexpr double listName = 10.5;
// Secondary labels and captions.
inline constexpr double caption = 11;
// Titles of the text comparison's small rows.
inline constexpr double rowTitle = 11.5;
// The ordinary text of controls and panels.
inline constexpr double body = 12;
// The titles of header and sheet buttons.
inline constexpr double button = 12.5;
// Labels that lead a group or a pane, and the default of the shared button.
inline constexpr double emphasis = 13;
// Text typed into a note.
inline constexpr double noteInput = 13.5;
// Titles of panels and dialogs, and the reading size of the text panes.
inline constexpr double heading = 14;
// The inline text field of a label, and the larger panel symbols.
inline constexpr double field = 15;
// Workspace titles and the fit buttons.
inline constexpr double title = 16;
// The launcher's workspace cards.
inline constexpr double launcherCard = 17;
// Titles of sheets.
inline constexpr double sheetTitle = 18;
// The confirm mark of the inline text field.
inline constexpr double display = 22;

} // namespace TypeScale
