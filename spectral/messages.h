#pragma once
// The program's messages by id: the one catalogue that holds, for every
// message the engine raises or reports, its German text (what a German user
// sees and what an error's what() gives, word for word), its English text
// (the window in English) and the command-line tool's wording. A message
// carries its id and its arguments; each front end renders it in its own
// language, so nothing ever has to recognise a text to translate it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class TMessageId : uint16_t {
    Text, // a text given as it stands, the same in every form (%1)
    CannotOpen,
    CannotCreate,
    NotReplaced,
    FilterFileTooLarge,
    NoExtension,
    UnknownExtension,
    InvalidPicture,
    InvalidPictureSaid,
    CodecError,
    TooManyPixels,
    CutShort,
    JpegDamaged,
    NotAnInteger,
    ListIndex,
    InvalidFloat,
    NewSizeTooLarge,
    FFTLength,
    TransformLength,
    TransformLengthUnknown,
    TransformCancelled,
    MemoryNeeded,
    MemoryNeededAllowed,
    MemoryNeededBeside,
    FilterTooMuchWork,
    DivisionByZero,
    WatermarkNotFinite,
    WatermarkTooWeak,
    WatermarkNotFound,
    WatermarkFound,
    FilterLine,
    OutOfMemory,
    UnknownError,
    ClipboardFormat,
    NoHelp,
    FilterFileLine,
    Worded,
    Count
};

// A message: its id, its arguments (%1, %2, ... in the texts) and, for a
// message that reports another (a filter line and the entry's own error), the
// message it reports, rendered in the same form as the argument after the
// message's own.
struct TMessage {
    TMessageId Id = TMessageId::Text;
    std::vector<std::string> Args;
    std::shared_ptr<const TMessage> Cause;
};

// A text as it stands, in every form.
TMessage PlainMessage(std::string text);
// A message reporting `cause`.
TMessage MessageAbout(TMessageId id, std::vector<std::string> args, TMessage cause);

enum class TMessageForm : uint8_t { German, English, Tool };

// The tool's wording may take arguments that only the tool can supply (why a
// file cannot be opened, what kind of picture a file name promises); they
// follow the message's own arguments and its cause.
using TToolArgs = std::function<std::vector<std::string>(const TMessage&)>;

std::string RenderMessage(const TMessage& message, TMessageForm form,
                          const TToolArgs& toolArgs = {});
std::string GermanText(const TMessage& message);
std::string EnglishText(const TMessage& message);

// Whether the message's first argument is the file it is about: the tool names
// that file before its wording instead of inside it.
bool MessageNamesFile(TMessageId id);

// A row of the catalogue; for tests and for checking the English interface.
struct TMessageRow {
    TMessageId Id;
    const char* German;
    const char* English;
    const char* Tool; // nullptr: the English text
    bool NamesFile;
};
const TMessageRow* FindMessageRow(TMessageId id);
