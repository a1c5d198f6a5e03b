#pragma once

#include "DynArray.h"
#include "StagedFile.h"

#include <string>

// Collects imported polygons for an object file. An object up to one chunk is written by
// WriteObjectFile in one go. A larger one is written chunk by chunk: each chunk by
// WriteObjectFile into a scratch file whose bytes are appended to a staged file (the format
// has no header, so the chunks' encodings simply follow each other), so a huge import never
// holds the source's scene and the whole polygon list at once.
class ObjectFileOutput {
public:
    explicit ObjectFileOutput(std::string target, int chunk = 65536);
    ObjectFileOutput(const ObjectFileOutput&) = delete;
    ObjectFileOutput& operator=(const ObjectFileOutput&) = delete;
    ~ObjectFileOutput();

    // False when no memory can be had or a chunk cannot be written (see error()).
    bool add(const tElement& polygon);
    // Writes what is left and puts the file in place; false with the reason.
    bool finish(std::string& error);
    const std::string& error() const { return error_; }

private:
    bool spill();

    std::string target_;
    int chunk_;
    CDynArray list_;
    StagedFile staged_;
    std::string scratch_;
    std::string error_;
};
