// Keys from standard input, one at a time, for a station that waits for the next board: on a
// terminal without Enter and without echo (the terminal's settings, taken once, come back when
// this goes, when the program exits, and when a signal comes during the clean-up after an
// interrupt); from a pipe or a file, byte by byte.
#pragma once

namespace host {

const int KEY_NONE = -1;         // nothing came in time
const int KEY_END_OF_INPUT = -2; // the input has ended (a pipe closed, Ctrl+D on a terminal)
const int KEY_ESCAPE = 27;       // Esc alone; the sequences of arrow and function keys are eaten

class KeyInput {
public:
    KeyInput();
    ~KeyInput();
    KeyInput(const KeyInput&) = delete;
    KeyInput& operator=(const KeyInput&) = delete;

    // The next key, waiting at most `ms` (-1: no limit); KEY_NONE also when interruptFd (if
    // not -1) becomes readable first.
    int Next(int ms, int interruptFd);
    // Forgets the keys a terminal's operator pressed meanwhile (while a board was flashed), so
    // that an Enter too many never starts the next board unseen. Input from a pipe is kept.
    void DropTypeahead();

private:
    bool m_raw = false;
    bool m_ended = false;
};

} // namespace host
