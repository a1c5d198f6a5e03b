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

// The record at the start of record, in place, as the file stores it: every 0x0A byte
// preceded by 0x0D. The record needs room for twice its size; returns its new length.
// Encoded and translated where it is written, a record is not copied once more.
std::size_t TranslateLineEnds(uint8_t* record);
