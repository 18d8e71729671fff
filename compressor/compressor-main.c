/* compressor-main.c -- the plug-in's entry point and the registration of its classes. */
#include "compressor.h"

#include <stdlib.h>

RB_PLUGIN_EXPORT void REALPluginMain(PluginEntryResolver resolver);

/* Registers one class. A host older than 5.9 reads 3-word method records, so the record is
   pointed at a copy of the table in that form, made once and kept for the life of the process;
   a newer host gets the full table. Without memory for the copy the class is left out, since
   an old host cannot read the full records. */
static void RegisterClassDefinition(PluginClass *cls) {
    PluginClassDefinition *record = cls->record;
    size_t count = (size_t)record->methodCount;
    size_t i;

    record->methods = cls->methods;
    if (host_version_below_5_9()) {
        if (cls->shortMethods == NULL) {
            cls->shortMethods =
                (PluginMethodDefinitionShort *)malloc(count * sizeof(PluginMethodDefinitionShort));
            if (cls->shortMethods == NULL)
                return;
            for (i = 0; i < count; i++) {
                cls->shortMethods[i].function = cls->methods[i].function;
                cls->shortMethods[i].setter = cls->methods[i].setter;
                cls->shortMethods[i].declaration = cls->methods[i].declaration;
            }
        }
        record->methods = cls->shortMethods;
    }
    host_register_class(record);
}

/* Announces the interface version, then registers the three classes and the six global
   functions, the functions always in full records whatever the host's version. */
void REALPluginMain(PluginEntryResolver resolver) {
    void (*registerVersion)(int32_t);
    size_t i;

    host_set_resolver(resolver);
    registerVersion =
        resolver != NULL ? (void (*)(int32_t))resolver("RegisterPluginVersion") : NULL;
    if (registerVersion != NULL)
        registerVersion(kPluginInterfaceVersion);

    RegisterClassDefinition(&ZLibCompressWQXClass);
    RegisterClassDefinition(&GZipFileWQXClass);
    RegisterClassDefinition(&ZLibDecompressWQXClass);

    for (i = 0; i < GlobalFunctionCount; i++)
        host_register_method(&GlobalFunctions[i]);
}
