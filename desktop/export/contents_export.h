// The contents file of the open project: its tree as the writer's neutral list, and the write
// with the log lines of a failure.
#pragma once

#include "common/contents_file/contents_writer.h"

#include <string>
#include <string_view>
#include <vector>

class CVQDoc;
class CVQDocTree;

namespace vq {

// Every node of the tree in pre-order, the root first, so that a node's position is its number.
// Local paths come in their plain form ("." and ".." segments resolved). The caller holds the
// tree lock.
std::vector<CVQContentsSource> ContentsSources(const CVQDocTree& tree);

// The project file's name without folder and extension (cut at the last "."), the folder name
// that every stored local path starts with.
std::string ContentsProjectName(std::string_view projectPath);

// How the project is exported: its name (the title, made a legal file name, while it has no
// file), VQ_PROJECT_DIR as stored, VQ_FILETYPEMASK and the save directory in use.
CVQContentsExport ContentsExportOf(const CVQDoc& doc);

// Creates or truncates path and writes the project's tree. False when the file could not be
// created or written; a failed write adds "The disk is full !" or " Error writing file '%s'"
// to the project's log, and no partial file is left.
bool WriteContentsFile(CVQDoc& doc, const std::string& path, const CVQContentsExport& how);

} // namespace vq
