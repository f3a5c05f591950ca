#include "tolvaneParts.h"

#include "tolvaneInputError.h"
#include "tolvaneUniqueNames.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <set>

namespace {

// Numbers the parts by first appearance of their key, so that the order follows the input.
tolvaneParts partsByKey(const std::vector<std::string>& keys,
                        const std::vector<std::string>& names) {
  tolvaneParts parts;
  std::map<std::string, unsigned int> partOfKey;
  for (size_t i = 0; i < keys.size(); ++i) {
    const auto found =
        partOfKey.emplace(keys[i], static_cast<unsigned int>(parts.partNames.size()));
    if (found.second)
      parts.partNames.push_back(names[i]);
    parts.partOfMesh.push_back(found.first->second);
  }
  return parts;
}

// Two nodes or two files may share a name; later ones get "#k" as meshes do.
void makeNamesUnique(std::vector<std::string>& names) {
  tolvaneUniqueNames unique;
  for (std::string& name : names)
    name = unique.claim(name);
}

} // namespace

tolvaneParts groupParts(const tolvaneImport& import, tolvaneGroupBy by) {
  std::vector<std::string> keys, names;
  for (const tolvaneMeshInstance& instance : import.instances) {
    switch (by) {
    case tolvaneGroupBy::Mesh:
      keys.push_back(instance.meshName);
      names.push_back(instance.meshName);
      break;
    case tolvaneGroupBy::Node:
      keys.push_back(instance.nodeKey);
      names.push_back(instance.nodeName);
      break;
    case tolvaneGroupBy::File:
      keys.push_back(instance.fileKey);
      names.push_back(instance.fileName);
      break;
    }
  }
  tolvaneParts parts = partsByKey(keys, names);
  makeNamesUnique(parts.partNames);
  return parts;
}

tolvaneParts groupPartsByMap(const tolvaneImport& import, const std::string& groupsFile) {
  std::ifstream in(groupsFile);
  if (!in)
    throw tolvaneInputError(groupsFile + ": cannot read the file");
  // The parser keeps the last of repeated keys; the callback sees each one to refuse repeats.
  std::set<std::string> seen;
  std::string repeated;
  const auto noteKey = [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& key) {
    if (depth == 1 && event == nlohmann::json::parse_event_t::key &&
        !seen.insert(key.get<std::string>()).second && repeated.empty())
      repeated = key.get<std::string>();
    return true;
  };
  const nlohmann::json map = nlohmann::json::parse(in, noteKey, false);
  if (map.is_discarded() || !map.is_object())
    throw tolvaneInputError(groupsFile + ": not a JSON object of mesh names to part names");
  if (!repeated.empty())
    throw tolvaneInputError(groupsFile + ": mesh '" + repeated + "' is given twice");

  std::map<std::string, std::string> partOfMeshName;
  for (const auto& [mesh, part] : map.items()) {
    if (!part.is_string())
      throw tolvaneInputError(groupsFile + ": the part of mesh '" + mesh + "' is not a string");
    partOfMeshName[mesh] = part.get<std::string>();
  }
  std::vector<std::string> names;
  std::set<std::string> unmapped, known;
  for (const tolvaneMeshInstance& instance : import.instances) {
    known.insert(instance.meshName);
    const auto mapped = partOfMeshName.find(instance.meshName);
    if (mapped == partOfMeshName.end())
      unmapped.insert(instance.meshName);
    names.push_back(mapped == partOfMeshName.end() ? instance.meshName : mapped->second);
  }
  for (const auto& [mesh, part] : partOfMeshName) {
    if (!known.count(mesh))
      throw tolvaneInputError(groupsFile + ": no mesh is named '" + mesh + "'");
    if (unmapped.count(part))
      throw tolvaneInputError(groupsFile + ": part name '" + part +
                              "' is also the name of a mesh left out of the map");
  }
  // A part name is its key: meshes mapped to one name form one part.
  return partsByKey(names, names);
}
