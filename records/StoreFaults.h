#pragma once

#include "PatientStore.h"
#include "Schema.h"

// The faults a database reports to the records, told apart from the engine's own code: SQLite's
// result code or the server's SQLSTATE. Each fault has one kind and its French texts side by side in
// one table, one per engine, so that both engines say the same thing the same way.
namespace vimora::records {

enum class Fault {
    Busy,         ///< locked by another program or workstation beyond the wait
    DiskFull,     ///< no room left on the base's disk
    ReadOnly,     ///< the engine refuses to write
    Damaged,      ///< the engine found its files damaged, or not a base
    Rights,       ///< the file's permissions or the role forbid it
    DiskIo,       ///< reading or writing the disk failed
    Timeout,      ///< the server ended a statement that lasted too long
    Silent,       ///< the server stopped answering: the program gave the connection up
    Lost,         ///< the connection to the server was lost
    PatientGone,  ///< the patient a row refers to was deleted meanwhile
    DossierTaken, ///< the dossier number is another patient's
    Duplicate,    ///< a value that must be unique is already stored
    Constraint,   ///< a value breaks another rule of the schema
    Other,        ///< anything else
};

/// The fault of SQLite's extended result code `code`.
Fault sqliteFault(int code);
/// The fault of the server's SQLSTATE `state`, once the connection is known not to be lost.
Fault serverFault(const QString& state);

/// The error of `fault` on `engine`'s base; `place` names the base (quoted) and `code` is the
/// engine's own code, kept in the error and named in some texts.
StoreError storeFault(Fault fault, Dialect engine, const QString& place, const QString& code);

} // namespace vimora::records
