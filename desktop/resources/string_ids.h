// Identifiers of the built-in texts. Each subsystem keeps its texts in its own list file.
#pragma once

enum VQStringId : int {
#define VQ_STRING(name, id, text) name = id,
#include "desktop/resources/strings_common.inc"
#include "desktop/resources/strings_project.inc"
#include "desktop/resources/strings_engine.inc"
#include "desktop/resources/strings_net.inc"
#include "desktop/resources/strings_content.inc"
#include "desktop/resources/strings_cli.inc"
#include "desktop/resources/strings_shell.inc"
#undef VQ_STRING
};
