#pragma once
#include <string>

// What each system does its own way for TTerminal; the reading itself is shared.
namespace lw::terminal {

// The terminal or console of the process, whatever the standard streams are; -1 without.
int Open();
void Show(int fd, const std::string& text);
// Drops what was typed before now: an Enter meant for something else answers no question.
void DiscardTypedAhead(int fd);
// Reads up to the line's end; false at the end of input. A Windows console's line is
// read as typed (Unicode) and handed on as a phrase typed there is keyed: in the code
// page where it fits exactly, else in UTF-8.
bool ReadTypedLine(int fd, std::string& line);
// Ends the line that was read: drops what the system adds to it, and without echo moves
// the terminal's cursor to the next line if the system does not.
void FinishLine(int fd, std::string& line, bool echo);

// Echo off for its lifetime; it comes back even when the program is ended meanwhile.
class TEchoOff {
public:
    explicit TEchoOff(int fd);
    ~TEchoOff();
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;
};

} // namespace lw::terminal
