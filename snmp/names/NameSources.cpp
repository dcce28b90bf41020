// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameSources.h"

#include "EnterpriseRegistry.h"

namespace brellan::names {

std::shared_ptr<const NameIndex> mergeNames(NameIndex fromModules, const std::filesystem::path& enterpriseRegistry,
                                            const ProblemSink& problem)
{
    auto names = std::make_shared<NameIndex>(std::move(fromModules));
    names->addMissing(*builtInNames());
    if (!enterpriseRegistry.empty())
        names->addMissing(readEnterpriseRegistry(enterpriseRegistry, problem));
    return names;
}

std::shared_ptr<const NameIndex> loadNames(const NameSources& sources, const ProblemSink& problem)
{
    return mergeNames(loadModules(sources.moduleFolders, problem, sources.limits), sources.enterpriseRegistry,
                      problem);
}

} // namespace brellan::names
