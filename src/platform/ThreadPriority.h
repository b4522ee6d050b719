#pragma once

// How much CPU time a thread asks for beside the others.
namespace ThreadPriority {

// Lowers the calling thread's priority (nice 10 on Linux), and with it the priority of the threads
// it starts from then on: long work in the background then yields a busy core to the GUI thread at
// once. Only for threads that end with their work: without privileges the priority cannot be
// raised again.
void lowerForBackgroundWork();

} // namespace ThreadPriority
