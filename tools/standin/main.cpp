// Entry point of oravend-standin, a loopback SQL Server stand-in for tests.
#include <exception>
#include <iostream>

#include "options.hpp"
#include "server.hpp"

int main(int argc, char** argv) {
  standin::Options options;
  try {
    options = standin::parse_options(argc, argv);
  } catch (const standin::UsageError& error) {
    std::cerr << "oravend-standin: " << error.what() << "\n" << standin::usage_text();
    return 2;
  }
  if (options.help) {
    std::cout << standin::usage_text();
    return 0;
  }
  try {
    return standin::run_server(options);
  } catch (const std::exception& error) {
    std::cerr << "oravend-standin: " << error.what() << "\n";
    return 1;
  }
}
