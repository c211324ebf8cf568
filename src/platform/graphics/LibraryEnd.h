#pragma once
// What the process says when GLib, under the text layout library, ends it.
// GLib ends the process when it cannot start a thread, which under an
// address-space ceiling means the ceiling left no room for its stack; its own
// message names neither the program nor the cause.
namespace gfx {

// From now on such an end also says, on standard error, that the program
// ends and, under a ceiling, which one and what to do. Call before the first
// text is laid out.
void tellWhenGLibEndsTheProcess();

}  // namespace gfx
