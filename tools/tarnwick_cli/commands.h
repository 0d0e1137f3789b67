// The subcommands of tarnwick-cli; each takes the arguments after its name.
#pragma once

#include "cli_common.h"

namespace tarnwick::cli {

int CmdDecode(Args args);
int CmdEncode(Args args);
int CmdLs(Args args);
int CmdCat(Args args);
int CmdPack(Args args);
int CmdTalks(Args args);
int CmdCaptures(Args args);
int CmdSelect(Args args);
int CmdFace(Args args);
int CmdVoice(Args args);

}  // namespace tarnwick::cli
