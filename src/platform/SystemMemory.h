#pragma once

// The process's heap as the operating system sees it.
namespace SystemMemory {

// Hands the free pages of every heap back to the system, so resident memory falls again after
// a batch that allocated and freed a lot on several threads. Takes a few milliseconds: call it
// after such a batch, off the GUI thread.
void returnFreedMemory();

} // namespace SystemMemory
