# AddressSanitizer and UndefinedBehaviorSanitizer for every target; any finding stops
# the program (halt_on_error is set by scripts/test through the environment).
add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
