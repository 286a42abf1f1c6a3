// SPDX-License-Identifier: MIT
// Document files: a document saved as references to its recordings, its computed channels
// with their expressions, the settings of the extension calculations of its channels, and
// the streams of its extension documents' persisted items (document_contents.h has the
// byte form), and opened again from them.
#pragma once

#include <filesystem>
#include <vector>

#include "korvel/docfile/document_contents.h"
#include "korvel/services/session.h"

namespace korvel::docfile {

// Opens a document over the records of `sources`, read now and joined in order; the frame
// remembers them. Throws io::ImportError for a recording that cannot be read, and what
// Session::open throws.
services::DocumentFrame& open_recordings(services::Session& session, const std::vector<services::RecordingSource>& sources,
                                         const services::FrameOptions& options = {});

// What a file in `folder` keeps of `frame`: its sources (relative to the folder when they
// lie inside it, else absolute; all absolute without a folder), its computed channels in
// index order, and its extension documents' persisted items. Throws HResultError when an
// item cannot be saved.
DocumentContents contents_of(const services::DocumentFrame& frame, const std::filesystem::path& folder = {});

// Writes `frame` to `path` through a temporary file beside it that then replaces `path`,
// so that a failure leaves any earlier file whole; then tells the persisted items that
// they are saved. Recordings are named as from `folder` (by default the file's own), for a
// file written elsewhere and then moved there. Throws DocumentFileError.
void save_document(const services::DocumentFrame& frame, const std::filesystem::path& path,
                   std::filesystem::path folder = {});

// Reads and checks the whole file, reads its recordings (relative paths are taken from the
// file's folder; an absolute path where nothing is left, from the file of that name in the
// folder, if there is one), defines its computed channels, opens the document with its persisted
// items loaded, and gives the channels their extension calculations. Throws
// DocumentFileError saying why, after which nothing is open and the file is as it was. A
// recording that changed since the document was saved (its fingerprint) is refused unless
// `reattach`: the user asks to analyse the new data with the document's settings and edits.
services::DocumentFrame& load_document(services::Session& session, const std::filesystem::path& path,
                                       const services::FrameOptions& options = {}, bool reattach = false);

}  // namespace korvel::docfile
