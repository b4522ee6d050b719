#pragma once

#include <QColor>

// The interface palette. Views of every workspace take their colours from here and nowhere else.
namespace AppTheme {

const QColor &background();    // #F8FAFC, behind the root view's content
const QColor &surface();       // white
const QColor &paleGray();      // #F1F5F9
const QColor &primaryText();   // #0F172A, titles
const QColor &darkSlate();     // #334155
const QColor &secondaryText(); // #64748B, counts and other small text
const QColor &lightSlate();    // #DDE3EA
const QColor &navy();          // #1E3A5F
const QColor &paleBlue();      // #E8EEF7
const QColor &accent();        // #2563EB, the pressed overlay of FeedbackButton
const QColor &green();         // #059669
const QColor &paleGreen();     // #DDF8EC
const QColor &red();           // #DC2626
const QColor &paleRed();       // #FDECEC, behind a summary that reports failures
const QColor &paleSlate();     // #E6EBF2

} // namespace AppTheme
