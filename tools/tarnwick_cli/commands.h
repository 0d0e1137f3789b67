// The subcommands of tarnwick-cli; each takes the arguments after its name.
#pragma once

#include "cli_common.h"

namespace tarnwick::cli {

int CmdDecode(const Context_T& context, Args args);
int CmdEncode(const Context_T& context, Args args);
int CmdLs(const Context_T& context, Args args);
int CmdCat(const Context_T& context, Args args);
int CmdExtract(const Context_T& context, Args args);
int CmdPack(const Context_T& context, Args args);
int CmdTalks(const Context_T& context, Args args);
int CmdCaptures(const Context_T& context, Args args);
int CmdSelect(const Context_T& context, Args args);
int CmdExport(const Context_T& context, Args args);
int CmdCheck(const Context_T& context, Args args);
int CmdFace(const Context_T& context, Args args);
int CmdVoice(const Context_T& context, Args args);

}  // namespace tarnwick::cli
