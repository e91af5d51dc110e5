// The signals by which the session around the program ends it: SIGTERM (a
// desktop's log-out, kill), SIGINT (Ctrl+C in the terminal) and SIGHUP (the
// terminal closed).
//
// Each ends the program as closing its window does: the handler sets
// close_request, and the frame thread runs the exit sequence (the stop
// request, the program thread parks, exit code 0) in whatever state the
// program is: at a prompt, animating, paused. Nobody is left to answer a
// report box once the session ends, so the signal also answers the boxes: an
// open one ends as No (a question) or OK (a notice), and any box shown after
// it ends so at once (session_ended, polled through session_end_fd).
//
// The handler is async-signal-safe: two lock-free atomic operations and one
// write to an eventfd, nothing else; no Xlib call, no lock, no allocation.
#pragma once

namespace ws {

struct Runtime;

// Installs the handler of the three signals for the whole process; it reports
// to rt.state. runtime_main calls it once, before the program and frame
// threads start (the handler is process-wide; whichever thread the kernel
// picks runs it). A signal ignored when the program started (nohup's SIGHUP,
// SIGINT of a command a shell runs in the background) stays ignored.
void install_session_end_signals(Runtime& rt);

// Whether one of the three signals has come (never cleared). Any thread.
bool session_ended();

// A descriptor that becomes readable when the session ends and stays so (it
// is never read): a box's event loop polls it beside its connection. -1 when
// none could be made (then only session_ended tells, at a poll's timeout).
int session_end_fd();

}  // namespace ws
