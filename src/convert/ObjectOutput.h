#pragma once

#include "DynArray.h"
#include "StagedFile.h"

#include <cstdint>
#include <string>
#include <vector>

// Collects imported polygons for an object file. An object of up to one chunk of polygons
// is written by WriteObjectFile in one go. A larger one is streamed: each polygon encoded
// into its record as it comes and written to a staged file renamed over the target at the
// end, so a huge import never holds the source's scene and a polygon list of it at once.
class ObjectFileOutput {
public:
    explicit ObjectFileOutput(std::string target, int chunk = 65536);
    ObjectFileOutput(const ObjectFileOutput&) = delete;
    ObjectFileOutput& operator=(const ObjectFileOutput&) = delete;

    // False when no memory can be had or the file cannot be written (see error()).
    bool add(const tElement& polygon);
    // Writes what is left and puts the file in place; false with the reason.
    bool finish(std::string& error);
    const std::string& error() const { return error_; }

private:
    bool startStream();
    bool stream(const tElement& polygon);
    bool flush();

    std::string target_;
    int chunk_;
    CDynArray list_;
    bool streaming_ = false;
    StagedFile staged_;
    std::vector<uint8_t> buffer_;   // fixed size; used_ bytes of it hold records
    std::size_t used_ = 0;
    std::string error_;
};
