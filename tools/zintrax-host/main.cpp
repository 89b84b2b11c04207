// zintrax-host: loads a VST 2.x, VST3, CLAP or LV2 plug-in as a DAW does and shows what it is
// (info), runs audio through it (render), pictures its editor (snapshot), opens it for a person
// (edit), plays it live on JACK (play) or hands it to zintrax-validate (validate).
#include "CommandLine.h"
#include "EditorCommand.h"
#include "InfoCommand.h"
#include "PlayCommand.h"
#include "RenderCommand.h"
#include "ValidateCommand.h"

#include "hosting/Errors.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  using namespace zhost;
  try {
    const Command command = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (std::holds_alternative<HelpRequest>(command))
      std::cout << UsageText();
    else if (const auto* info = std::get_if<InfoOptions>(&command))
      RunInfo(*info, std::cout);
    else if (const auto* snapshot = std::get_if<SnapshotOptions>(&command))
      RunSnapshot(*snapshot, std::cerr);
    else if (const auto* edit = std::get_if<EditOptions>(&command))
      RunEdit(*edit, std::cout);
    else if (const auto* play = std::get_if<PlayOptions>(&command))
      RunPlay(*play, std::cout, std::cerr);
    else if (const auto* validate = std::get_if<ValidateRequest>(&command))
      RunValidate(*validate);
    else
      RunRender(std::get<RenderOptions>(command), std::cerr);
    return 0;
  } catch (const UsageError& error) {
    std::cerr << "zintrax-host: " << error.what() << '\n';
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "zintrax-host: " << error.what() << '\n';
    return 1;
  }
}
