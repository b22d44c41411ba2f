if(NEXIL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(NEXIL_FUZZ)
    # Coverage for the fuzzer on everything it can reach; only the fuzz targets link its main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
