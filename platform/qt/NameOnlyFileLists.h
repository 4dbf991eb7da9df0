#pragma once

class QApplication;

// Closing any descriptor of a file drops every POSIX lock the process holds on that file, and
// SQLite's safety across processes rests on those locks. Qt's file lists (the file dialog, the
// print dialog's file name completion and its "Print To File" dialog) read the first bytes of the
// files they list to find their types and icons: listing the folder of the patient records would
// open and close the records file and its -wal and -shm, and drop the locks of the open records.
namespace vimora::platform {

/// From now on, every file dialog and print dialog of `application` knows the files it lists by
/// their names alone, and is Qt's own dialog rather than the desktop's (which would read the files
/// in this process too).
void listFilesByNameOnly(QApplication& application);

} // namespace vimora::platform
