#pragma once

#include "ObjectFile.h"

#include <cstddef>
#include <cstdint>

// One polygon as the 136 bytes of its object file record, before the line-end translation.
void EncodeObjectRecord(const tElement& e, uint8_t (&record)[kObjectRecordSize]);
// The polygon a record holds; texts end at their first zero byte or at their field's end.
void DecodeObjectRecord(const uint8_t (&record)[kObjectRecordSize], tElement& e);

// What makes the bytes no record a writer of object files makes, in words ("its type is
// neither Triangle nor Quad"); nullptr for a record that is one. Texts must end within their
// fields, a colour be -1 throughout (textured) or components from 0 to 255, corners finite.
const char* ObjectRecordFault(const uint8_t (&record)[kObjectRecordSize]);

// The record as the file stores it: every 0x0A byte preceded by 0x0D. out needs room for
// twice the record; returns the number of bytes put there.
std::size_t TranslateLineEnds(const uint8_t (&record)[kObjectRecordSize], uint8_t* out);
