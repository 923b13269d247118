/* The resource module runs no code; this empty unit only gives the linker
   an object besides the compiled resources. */
typedef int korvane_resource_module_has_no_code;
