#pragma once

#include <QString>

// The words of a file or folder that could not be read or written: why, in
// one form for each cause, made from the system's error number, never from
// its text, which goes only to the log as the detail.
namespace FileWords {

// "the disk is full", "the disk is read-only", "access was refused", ...
QString cause(int error);

struct Said {
    QString text;   // "<lead>: <cause>."
    QString logged; // the same with the system's words as the detail
};
Said said(const QString& lead, int error);

} // namespace FileWords
