#pragma once
// How long operations tell their host what they are doing. The window shows
// it in the status bar (and repaints at once), the command-line tool on
// stderr, tests record it.

#include <string>

class IProgress {
public:
    virtual ~IProgress() = default;
    // A phase of the operation began; key is a message key of the language
    // tables ("Red1", "Transformed", "ReInitializing", ...).
    virtual void Phase(const std::string& key) = 0;
    // Progress of the current operation in percent (0 to just below 100),
    // shown through the "erledigt" format.
    virtual void Percent(double percent) = 0;
    // The progress display is emptied.
    virtual void ClearPercent() = 0;
    // The operation can no longer be cancelled (it gave up what a cancel
    // would have needed, see RunCancellableTransform).
    virtual void CannotCancel() {}
};

// Discards everything; for callers that do not show progress.
class TNoProgress final : public IProgress {
public:
    void Phase(const std::string&) override {}
    void Percent(double) override {}
    void ClearPercent() override {}
};
