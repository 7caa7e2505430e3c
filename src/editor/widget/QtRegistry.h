// The registry seam on a settings file: keys become groups ("\" separates
// sub-keys), strings and binary values keep their bytes. The program's file
// lives in the user's configuration folder; tests give their own path.
#pragma once

#include "Registry.h"

#include <memory>
#include <string>

class QSettings;

class TQtRegistry : public TRegistry {
public:
  // The file "KORVEX_COMP.conf" in the user's configuration folder.
  TQtRegistry();
  explicit TQtRegistry(const std::string &fileName);
  ~TQtRegistry() override;

  void WriteString(const std::string &key, const std::string &name,
                   const std::string &value) override;
  void WriteBinary(const std::string &key, const std::string &name,
                   const std::string &bytes) override;
  std::optional<std::string> ReadString(const std::string &key, const std::string &name) override;
  std::optional<std::string> ReadBinary(const std::string &key, const std::string &name) override;

  std::string FileName() const;
  static std::string DefaultFileName();

private:
  void Write(const std::string &key, const std::string &name, const std::string &bytes,
             bool binary);
  std::optional<std::string> Read(const std::string &key, const std::string &name, bool binary);
  std::unique_ptr<QSettings> Settings_;
};
