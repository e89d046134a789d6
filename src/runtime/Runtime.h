// The script runtime library (pw_runtime): what runs the project's scripts on top of the
// generic host and automation layer of pw_scripting and the objects of pw_script_objects.
// It holds:
//  - TScriptRuntime, the host published to scripts as "Runtime", with its global functions;
//  - TScriptThread, the threads scripts start with CreateThread, and their hand-over to the
//    main thread (Synchronize, on-terminate callbacks);
//  - the script faces of the generator and its sections;
//  - (next) the scripted build: the implementation of the generator's script seams (ScriptHooks.h)
//    and of IBuildScripts, the hooks and tasks a project's scripts register.
// It may include from scripting/objects, scripting, generator, markup and platform; core builds
// on it, never the other way round.
#pragma once
