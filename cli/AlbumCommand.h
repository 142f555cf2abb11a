#pragma once

class CliRegistry;

// kyto album list|add|rename|register|delete|delete-data|delete-all|save|load|
// flash|check|type: the registered users and the module's Album.
void AddAlbumCommand(CliRegistry& registry);
