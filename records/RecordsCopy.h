#pragma once

#include "RecordsTransfer.h"

// A copy of the records (a SQLite records file, as `sauvegarder` writes it from either engine)
// brought back into a store: how a clinic restores its server, or moves between a file and a
// server.
namespace vimora::records {

/// True when `path` is an ordinary file that starts as a SQLite file does, rather than a CSV file
/// or a pipe.
bool isRecordsCopy(const QString& path);

/// Adds, in one transaction holding the write lock, what the copy `path` has and `store` has not: a
/// patient is the same when its dossier is, or without a dossier when its nom, prénom (case and
/// accents ignored) and naissance are, homonyms paired in the order they were created; a visit of a
/// patient is the same when its date, poids and taille (as numbers) are. A dossier of the copy with
/// another identity here refuses the whole copy (ImportRefused). Visits keep the texts they were
/// stored with and when they were first stored, unless the patient here has another sexe or
/// naissance: they are judged again on `today` for this identity. Throws StoreError.
ImportReport importCopy(PatientStore& store, const QString& path, QDate today = QDate::currentDate());

} // namespace vimora::records
