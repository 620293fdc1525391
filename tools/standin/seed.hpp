// Runs a T-SQL script at start-up, before the server listens. Batches are separated by lines
// that hold only GO, as sqlcmd and tsql do.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine_session.hpp"

namespace standin {

struct ScriptBatch {
  std::string sql;
  int first_line = 1;  // line of the script where the batch starts
};

std::vector<ScriptBatch> split_script(std::string_view script);

class SeedError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws SeedError describing the first batch that raised an error.
void run_seed(const std::filesystem::path& file, const EngineSettings& settings);

}  // namespace standin
